// Loading plugins: the real one, and files that are not (quite) plugins.
#include <string>

#include <gtest/gtest.h>

#include "velloran/loader.h"

namespace {

// The load error for a file, or "" when it loads.
std::string loadError(const std::string &path) {
  std::string error;
  if (velloran::loadPlugin(path.c_str(), &error))
    return "";
  EXPECT_EQ(error.find('\n'), std::string::npos) << "one line: " << error;
  EXPECT_NE(error.find(path), std::string::npos) << "names the file: " << error;
  return error;
}

TEST(Loader, LoadsTheRealPluginOnce) {
  std::string error;
  const velloran::Plugin *p = velloran::loadPlugin(PLUGIN_PATH, &error);
  ASSERT_NE(p, nullptr) << error;

  // Another spelling of the same file is the same plugin: InitPlugin ran once.
  EXPECT_EQ(velloran::loadPlugin(BINARY_DIR "/./xml.vlp", &error), p);
  EXPECT_STREQ(velloran::commandHelp(p, "parser:Stop"), "ok=parser:Stop() -- stop the parser");
  for (const char *name : {"parser:__gc", "xml:CreateParser", "parser.Parse", "xml.", "parser:"})
    EXPECT_EQ(velloran::commandHelp(p, name), nullptr) << name;
}

TEST(Loader, EachFaultIsOneClearLine) {
  auto broken = [](const char *name) { return std::string(BINARY_DIR "/broken/") + name + ".vlp"; };
  const std::pair<std::string, const char *> faults[] = {
      {"/nonexistent/xml.vlp", "No such file"},
      {broken("bad_magic"), "not a Velloran plugin: bad magic"},
      {broken("no_header"), "not a Velloran plugin: no PluginHeader"},
      {broken("bad_version"), "unsupported plugin header version"},
      {broken("missing_entry"), "entry point 'DeserializeItem' missing"},
      {broken("init_fails"), "InitPlugin failed"},
      {SOURCE_DIR "/README.md", "invalid ELF header"},
      // A failed load is not remembered: the next attempt reports again.
      {broken("bad_magic"), "bad magic"},
  };
  for (const auto &fault : faults)
    EXPECT_NE(loadError(fault.first).find(fault.second), std::string::npos)
        << fault.first << ": " << fault.second;
}

} // namespace
