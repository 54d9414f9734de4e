// Loading plugins: the real one, and files that are not (quite) plugins.
#include <stdio.h>

#include <string>

#include <gtest/gtest.h>

#include "velloran/loader.h"

namespace {

// The load error for a file, or "" when it loads.
std::string loadError(const std::string &path) {
  std::string error;
  const velloran::Plugin *plugin = velloran::loadPlugin(path.c_str(), &error);
  if (plugin)
    return "";
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(error.find('\n'), std::string::npos) << "one line: " << error;
  EXPECT_NE(error.find(path), std::string::npos) << "names the file: " << error;
  return error;
}

std::string broken(const char *fault) {
  return std::string(BINARY_DIR "/broken/") + fault + ".vlp";
}

bool contains(const std::string &text, const char *part) {
  return text.find(part) != std::string::npos;
}

TEST(Loader, LoadsTheRealPluginOnceAndResolvesEveryEntry) {
  std::string error;
  const velloran::Plugin *p = velloran::loadPlugin(PLUGIN_PATH, &error);
  ASSERT_NE(p, nullptr) << error;
#define RESOLVED(name) EXPECT_NE(reinterpret_cast<void *>(p->name), nullptr) << #name;
  PLUGIN_ENTRY_POINTS(RESOLVED)
#undef RESOLVED

  // Another spelling of the same file is the same plugin: InitPlugin ran once.
  std::string other = std::string(BINARY_DIR) + "/./" + "xml.vlp";
  EXPECT_EQ(velloran::loadPlugin(other.c_str(), &error), p);
  EXPECT_EQ(velloran::loadPlugin(PLUGIN_PATH, &error), p);

  const auto &libraries = velloran::pluginLibraries(p);
  ASSERT_EQ(libraries.size(), 2u);
  EXPECT_FALSE(libraries[0].methods);
  EXPECT_EQ(libraries[1].metatable, "xml.vlp.parser");
}

TEST(Loader, HelpTextsByScriptName) {
  std::string error;
  const velloran::Plugin *p = velloran::loadPlugin(PLUGIN_PATH, &error);
  ASSERT_NE(p, nullptr) << error;
  EXPECT_STREQ(velloran::commandHelp(p, "parser:Stop"), "ok=parser:Stop() -- stop the parser");
  const char *unknown[] = {"parser:__gc",
                           "xml:CreateParser",
                           "parser.Parse",
                           "xml.",
                           "CreateParser",
                           "xml.CreateParserX",
                           "",
                           "parser:"};
  for (const char *name : unknown)
    EXPECT_EQ(velloran::commandHelp(p, name), nullptr) << name;
}

TEST(Loader, EachFaultIsOneClearLine) {
  EXPECT_TRUE(contains(loadError("/nonexistent/xml.vlp"), "No such file"));
  EXPECT_TRUE(contains(loadError(broken("bad_magic")), "not a Velloran plugin: bad magic"));
  EXPECT_TRUE(contains(loadError(broken("no_header")), "not a Velloran plugin: no PluginHeader"));
  EXPECT_TRUE(contains(loadError(broken("bad_version")), "unsupported plugin header version"));
  EXPECT_TRUE(
      contains(loadError(broken("missing_entry")), "entry point 'DeserializeItem' missing"));
  EXPECT_TRUE(contains(loadError(broken("init_fails")), "InitPlugin failed"));

  std::string text = std::string(BINARY_DIR) + "/broken/text.vlp";
  FILE *f = fopen(text.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fputs("not a shared object\n", f);
  fclose(f);
  loadError(text);
  remove(text.c_str());

  // A failed load is not remembered: the next attempt reports again.
  EXPECT_TRUE(contains(loadError(broken("bad_magic")), "bad magic"));
}

} // namespace
