// Loading plugins: the real one, and files that are not (quite) plugins.
#include <stdio.h>

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
  std::string other = std::string(BINARY_DIR) + "/./" + "xml.vlp";
  EXPECT_EQ(velloran::loadPlugin(other.c_str(), &error), p);
  EXPECT_EQ(velloran::pluginLibraries(p)[1].metatable, "xml.vlp.parser");
  EXPECT_STREQ(velloran::commandHelp(p, "parser:Stop"), "ok=parser:Stop() -- stop the parser");
  for (const char *name : {"parser:__gc", "xml:CreateParser", "parser.Parse", "xml.", "parser:"})
    EXPECT_EQ(velloran::commandHelp(p, name), nullptr) << name;
}

TEST(Loader, EachFaultIsOneClearLine) {
  std::string text = std::string(BINARY_DIR) + "/broken/text.vlp";
  FILE *f = fopen(text.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fputs("not a shared object\n", f);
  fclose(f);
  const std::pair<std::string, const char *> faults[] = {
      {"/nonexistent/xml.vlp", "No such file"},
      {"bad_magic", "not a Velloran plugin: bad magic"},
      {"no_header", "not a Velloran plugin: no PluginHeader"},
      {"bad_version", "unsupported plugin header version"},
      {"missing_entry", "entry point 'DeserializeItem' missing"},
      {"init_fails", "InitPlugin failed"},
      {"text", ""},
      // A failed load is not remembered: the next attempt reports again.
      {"bad_magic", "bad magic"},
  };
  for (const auto &fault : faults) {
    std::string path = fault.first[0] == '/' ? fault.first
                                             : std::string(BINARY_DIR "/broken/") + fault.first +
                                                   ".vlp";
    std::string error = loadError(path);
    EXPECT_FALSE(error.empty()) << path;
    EXPECT_NE(error.find(fault.second), std::string::npos) << error;
  }
  remove(text.c_str());
}

} // namespace
