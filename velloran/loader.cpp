/*
 * Loading a plugin: dlopen, the header checks, the entry points, InitPlugin
 * and a first reading of the library tables. Every failure is one line that
 * names the file.
 */
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <memory>

#include "velloran/loader.h"
#include "velloran/services.h"

namespace velloran {

namespace {

/* The entry points and where each goes in a Plugin. */
const struct {
  const char *name;
  size_t offset;
} entryPoints[] = {
#define ENTRY_ROW(name) {#name, offsetof(Plugin, name)},
    PLUGIN_ENTRY_POINTS(ENTRY_ROW)
#undef ENTRY_ROW
    {nullptr, 0},
};

/* More libraries than this means the library count is garbage. */
const int MAX_LIBRARIES = 64;

struct LoadedPlugin {
  Plugin plugin;
  std::vector<Library> libraries;
};

/* Loaded plugins by the real path of their file; never unloaded. */
std::map<std::string, std::unique_ptr<LoadedPlugin>> loaded;

bool fail(std::string *error, const std::string &path, const std::string &fault) {
  if (error)
    *error = path + ": " + fault;
  return false;
}

bool checkHeader(const std::string &path, Plugin *p, std::string *error) {
  p->header = static_cast<const PluginHeaderRecord *>(dlsym(p->handle, "PluginHeader"));
  if (!p->header)
    return fail(error, path, "not a Velloran plugin: no PluginHeader");
  if (memcmp(p->header->magic, PLUGIN_MAGIC, PLUGIN_MAGIC_LENGTH) != 0)
    return fail(error, path, "not a Velloran plugin: bad magic");
  const unsigned char *v = p->header->version;
  uint32_t version = uint32_t(v[0]) << 24 | v[1] << 16 | v[2] << 8 | v[3];
  if (version != PLUGIN_HEADER_VERSION)
    return fail(error, path, "unsupported plugin header version " + std::to_string(version));
  if (!p->header->resolveEntry)
    return fail(error, path, "not a Velloran plugin: no resolver in the header");
  return true;
}

bool resolveEntries(const std::string &path, Plugin *p, std::string *error) {
  for (int i = 0; entryPoints[i].name; i++) {
    void *function = p->header->resolveEntry(entryPoints[i].name);
    if (!function)
      return fail(error, path, std::string("entry point '") + entryPoints[i].name + "' missing");
    memcpy(reinterpret_cast<char *>(p) + entryPoints[i].offset, &function, sizeof function);
  }
  return true;
}

bool readLibraries(const std::string &path, LoadedPlugin *lp, std::string *error) {
  const Plugin &p = lp->plugin;
  int count = p.GetLibraryCount();
  if (count < 1 || count > MAX_LIBRARIES)
    return fail(error, path, "bad library count " + std::to_string(count));
  for (int i = 0; i < count; i++) {
    p.SetCurrentLibrary(i);
    const char *base = p.GetBaseTable();
    Library library{base ? base : "", p.GetCommands(), p.GetHelpStrings(),
                    p.GetConstants(), false,           ""};
    std::string which = "library " + std::to_string(i);
    if (library.base.empty())
      return fail(error, path, which + " has no base name");
    if (!library.commands)
      return fail(error, path, which + " (" + library.base + ") has no command table");
    library.methods = library.base.back() == ':';
    if (library.methods) {
      if (!p.info.moduleName)
        return fail(error, path, which + ": plugin information has no module name");
      /* "parser:" of the module "xml" binds to the metatable "xml.vlp.parser". */
      library.metatable = std::string(p.info.moduleName) + ".vlp." +
                          library.base.substr(0, library.base.size() - 1);
    }
    lp->libraries.push_back(library);
  }
  p.SetCurrentLibrary(0);
  return true;
}

} // namespace

const Plugin *loadPlugin(const char *path, std::string *error) {
  if (!path || !*path) {
    fail(error, "(no file)", "no plugin file given");
    return nullptr;
  }
  /* A bare file name would make dlopen search the library path. */
  std::string file = strchr(path, '/') ? path : std::string("./") + path;
  char real[PATH_MAX];
  std::string key = realpath(file.c_str(), real) ? real : file;
  auto known = loaded.find(key);
  if (known != loaded.end())
    return &known->second->plugin;

  auto lp = std::make_unique<LoadedPlugin>();
  Plugin *p = &lp->plugin;
  memset(p, 0, sizeof *p);
  p->handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!p->handle) {
    const char *text = dlerror();
    std::string fault = text ? text : "cannot load";
    if (error)
      *error = fault.find(file) != std::string::npos ? fault : path + std::string(": ") + fault;
    return nullptr;
  }
  bool ok = checkHeader(path, p, error) && resolveEntries(path, p, error);
  if (ok && !p->InitPlugin(&p->info, hostServices()))
    ok = fail(error, path, "InitPlugin failed");
  else if (ok && !readLibraries(path, lp.get(), error)) {
    p->ClosePlugin();
    ok = false;
  }
  if (!ok) {
    dlclose(p->handle);
    return nullptr;
  }
  return &(loaded[key] = std::move(lp))->plugin;
}

const std::vector<Library> &pluginLibraries(const Plugin *plugin) {
  static const std::vector<Library> none;
  for (const auto &entry : loaded)
    if (&entry.second->plugin == plugin)
      return entry.second->libraries;
  return none;
}

const char *commandHelp(const Plugin *plugin, const char *name) {
  if (!name)
    return nullptr;
  for (const Library &library : pluginLibraries(plugin)) {
    /* Methods are named "parser:Parse", library commands "xml.CreateParser". */
    std::string prefix = library.methods ? library.base : library.base + ".";
    if (strncmp(name, prefix.c_str(), prefix.size()) != 0)
      continue;
    for (int i = 0; library.commands[i].name; i++)
      if (strcmp(library.commands[i].name, name + prefix.size()) == 0)
        return library.help ? library.help[i].text : nullptr;
  }
  return nullptr;
}

} // namespace velloran
