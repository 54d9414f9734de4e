// The plugin as a host sees it: loaded with dlopen, found through its header,
// entry points resolved by name.
#include <dlfcn.h>
#include <string.h>

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "host/abi.h"
#include "tests/run_command.h"

namespace {

const PluginHeaderRecord *header() {
  static void *handle = dlopen(PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  return handle ? static_cast<const PluginHeaderRecord *>(dlsym(handle, "PluginHeader")) : nullptr;
}

template <typename F> F entry(const char *name) {
  return reinterpret_cast<F>(header()->resolveEntry(name));
}

// The header's bytes as a host reads them: the magic, then the version as a
// big-endian word. (Where the resolver lies is checked at compile time.)
TEST(PluginHeader, HasMagicAndBigEndianVersion) {
  ASSERT_NE(header(), nullptr) << dlerror();
  EXPECT_EQ(0, memcmp(header(), "VELLORAN\0\0\0\1", 12));
}

TEST(Resolver, FindsEveryEntryPointByExactNameOnly) {
  std::set<void *> seen;
#define RESOLVE(name) EXPECT_TRUE(seen.insert(header()->resolveEntry(#name)).second) << #name;
  PLUGIN_ENTRY_POINTS(RESOLVE)
#undef RESOLVE
  EXPECT_EQ(seen.count(nullptr), 0u);
  for (const char *wrong : {"initplugin", "GetLibraryCount ", "", "PluginHeader"})
    EXPECT_EQ(header()->resolveEntry(wrong), nullptr) << wrong;
}

int registeredCount;

TEST(InitPlugin, RegistersMessagesOnlyWithAServicesTable) {
  auto init = entry<InitPluginFunc>("InitPlugin");
  PluginInfo info;
  EXPECT_EQ(1, init(&info, nullptr));
  EXPECT_EQ(registeredCount, 0);
  // One table of empty slots, wide enough for any, serves every kind.
  HostFunction slots[SCRIPT_SERVICES_SLOTS] = {};
  slots[RUNTIME_REGISTER_ERROR] = reinterpret_cast<HostFunction>(
      +[](const char *) { return FIRST_ERROR_ID + registeredCount++; });
  HostServices services = {};
  for (auto &table : services.slot)
    table = slots;
  EXPECT_EQ(1, init(&info, &services));
  EXPECT_GT(registeredCount, 0);
}

TEST(Libraries, IndexesBeyondTheTwoLibrariesHaveNoTables) {
  EXPECT_EQ(2, entry<GetLibraryCountFunc>("GetLibraryCount")());
  for (int index : {-1, 2}) {
    entry<SetCurrentLibraryFunc>("SetCurrentLibrary")(index);
    EXPECT_EQ(entry<GetBaseTableFunc>("GetBaseTable")(), nullptr);
    EXPECT_EQ(entry<GetCommandsFunc>("GetCommands")(), nullptr);
    EXPECT_EQ(entry<GetHelpStringsFunc>("GetHelpStrings")(), nullptr);
    EXPECT_EQ(entry<GetConstantsFunc>("GetConstants")(), nullptr);
  }
}

TEST(Symbols, PluginImportsNothingFromTheScriptEngine) {
  std::string undefined = runCommand(NM_PATH " -D --undefined-only '" PLUGIN_PATH "'").output;
  ASSERT_NE(undefined.find("iconv_open"), std::string::npos) << "nm gave no symbol list:\n"
                                                             << undefined;
  EXPECT_EQ(undefined.find(" lua"), std::string::npos) << undefined;
  std::string exported = runCommand(NM_PATH " -D --defined-only '" PLUGIN_PATH "'").output;
  EXPECT_NE(exported.find(" PluginHeader"), std::string::npos) << exported;
  EXPECT_EQ(exported.find("InitPlugin"), std::string::npos) << exported;
}

} // namespace
