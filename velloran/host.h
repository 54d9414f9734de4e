/*
 * A host in one object: a script state with the standard libraries, the
 * plugin loaded (once per process) and bound, and the `velloran` table.
 * The command line and every C++ test that runs scripts use it.
 *
 *     velloran::Host host(PLUGIN_PATH);
 *     std::string message;
 *     if (!host.run("local p = xml.CreateParser({})", &message)) ...
 */
#ifndef VELLORAN_HOST_H
#define VELLORAN_HOST_H

#include <string>

#include "velloran/loader.h"

namespace velloran {

class Host {
public:
  explicit Host(const char *pluginPath);
  ~Host();
  Host(const Host &) = delete;
  Host &operator=(const Host &) = delete;

  /* False when the plugin failed to load or to bind. */
  bool ok() const;
  const std::string &error() const;
  lua_State *state();
  const Plugin *plugin() const;

  /* Runs a chunk. True on success; on failure *message (if given) receives
     the error message (tostring of the error value). */
  bool run(const std::string &chunk, std::string *message = nullptr,
           const char *chunkName = "=test");

private:
  lua_State *L_;
  const Plugin *plugin_;
  std::string error_;
};

/* tostring of the value at index, as the script would see it; never raises. */
std::string describeValue(lua_State *L, int index);

} // namespace velloran

#endif
