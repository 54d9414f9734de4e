// The plugin as a host sees it: loaded with dlopen, found through its header,
// entry points resolved by name.
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/run_command.h"

#include "host/abi.h"

namespace {

struct Plugin {
  void *handle = nullptr;
  const PluginHeaderRecord *header = nullptr;

  Plugin() {
    handle = dlopen(PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    if (handle)
      header = static_cast<const PluginHeaderRecord *>(dlsym(handle, "PluginHeader"));
  }
  template <typename F> F get(const char *name) const {
    return reinterpret_cast<F>(header->resolveEntry(name));
  }
};

const Plugin &plugin() {
  static Plugin p;
  return p;
}

// A host services table that only records RegisterError calls.
std::vector<std::string> registered;
int fakeRegisterError(const char *message) {
  registered.push_back(message);
  return 1000 + static_cast<int>(registered.size()) - 1;
}


TEST(PluginHeader, HasMagicBigEndianVersionAndResolver) {
  ASSERT_NE(plugin().handle, nullptr) << dlerror();
  ASSERT_NE(plugin().header, nullptr);
  const unsigned char *bytes = reinterpret_cast<const unsigned char *>(plugin().header);
  EXPECT_EQ(0, memcmp(bytes, "VELLORAN", 8));
  const unsigned char version[4] = {0, 0, 0, 1};
  EXPECT_EQ(0, memcmp(bytes + 8, version, 4));
  void *resolver;
  memcpy(&resolver, bytes + 16, sizeof resolver);
  EXPECT_EQ(resolver, reinterpret_cast<void *>(plugin().header->resolveEntry));
}

TEST(Resolver, FindsEveryEntryPointByExactName) {
  const char *names[] = {"InitPlugin",      "ClosePlugin",     "GetBaseTable",    "GetCommands",
                         "GetConstants",    "GetHelpStrings",  "InitLibrary",     "FreeLibrary",
                         "GetLibraryCount", "SetCurrentLibrary", "InitSerializer", "FreeSerializer",
                         "SerializeItem",   "DeserializeItem", "GetExtensions"};
  std::vector<void *> seen;
  for (const char *name : names) {
    void *f = plugin().header->resolveEntry(name);
    EXPECT_NE(f, nullptr) << name;
    for (void *other : seen)
      EXPECT_NE(f, other) << name << " shares its address with another entry";
    seen.push_back(f);
  }
  EXPECT_EQ(plugin().header->resolveEntry("initplugin"), nullptr);
  EXPECT_EQ(plugin().header->resolveEntry("GetLibraryCount "), nullptr);
  EXPECT_EQ(plugin().header->resolveEntry(""), nullptr);
  EXPECT_EQ(plugin().header->resolveEntry("PluginHeader"), nullptr);
}

TEST(InitPlugin, FillsInformationAndRegistersMessagesInOrder) {
  auto init = plugin().get<InitPluginFunc>("InitPlugin");
  PluginInfo info;
  memset(&info, 0xAB, sizeof info);
  registered.clear();
  EXPECT_EQ(1, init(&info, nullptr));
  EXPECT_TRUE(registered.empty()) << "a null services table registers nothing";
  EXPECT_EQ(info.capabilities, 0xA0002u);
  EXPECT_EQ(info.version, 2);
  EXPECT_EQ(info.revision, 1);
  EXPECT_EQ(info.hostVersion, 10);
  EXPECT_EQ(info.hostRevision, 0);
  EXPECT_STREQ(info.name, "XML");
  EXPECT_STREQ(info.moduleName, "xml");
  EXPECT_STREQ(info.description, "Parse XML documents with Velloran");
  EXPECT_STREQ(info.date, "06.06.26");
  EXPECT_STREQ(info.helpFile, "xml.guide");
  EXPECT_EQ(info.extraText, nullptr);
  EXPECT_NE(info.author, nullptr);
  EXPECT_NE(info.rightsNotice, nullptr);
  EXPECT_NE(info.url, nullptr);

  HostFunction runtime[RUNTIME_SERVICES_SLOTS] = {};
  runtime[RUNTIME_REGISTER_ERROR] = reinterpret_cast<HostFunction>(fakeRegisterError);
  HostFunction empty[SCRIPT_SERVICES_SLOTS] = {};
  HostServices services = {};
  for (auto &slot : services.slot)
    slot = empty;
  services.slot[HOST_RUNTIME_SERVICES] = runtime;
  EXPECT_EQ(1, init(&info, &services));
  const std::vector<std::string> expected = {
      "XML_ParserCreate failed!",
      "Invalid key \"%s\" in callback table!",
      "Expat parser expected!",
      "Parser is closed!",
      "Invalid parser state!",
      "Error closing parser: %s!",
      "XML callback \"%s\" is not a function!",
      "Generic XML error!",
  };
  EXPECT_EQ(registered, expected);
}

TEST(Libraries, BaseNamesCommandsHelpAndConstants) {
  auto select = plugin().get<SetCurrentLibraryFunc>("SetCurrentLibrary");
  auto base = plugin().get<GetBaseTableFunc>("GetBaseTable");
  auto commands = plugin().get<GetCommandsFunc>("GetCommands");
  auto help = plugin().get<GetHelpStringsFunc>("GetHelpStrings");
  auto constants = plugin().get<GetConstantsFunc>("GetConstants");
  EXPECT_EQ(2, plugin().get<GetLibraryCountFunc>("GetLibraryCount")());

  select(0);
  EXPECT_STREQ(base(), "xml");
  ASSERT_NE(commands(), nullptr);
  EXPECT_STREQ(commands()[0].name, "CreateParser");
  EXPECT_EQ(commands()[1].name, nullptr);
  EXPECT_EQ(commands()[1].function, nullptr);
  EXPECT_STREQ(help()[0].text, "p=xml.CreateParser(t[,sep$,merge]) -- create new parser");
  const ConstantRecord *c = constants();
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(sizeof(ConstantRecord), 24u);
  const char *names[] = {"XML_CTYPE_EMPTY", "XML_CTYPE_ANY",   "XML_CTYPE_MIXED", "XML_CTYPE_NAME",
                         "XML_CTYPE_CHOICE", "XML_CTYPE_SEQ",  "XML_CQUANT_NONE", "XML_CQUANT_OPT",
                         "XML_CQUANT_REP",  "XML_CQUANT_PLUS"};
  const double values[] = {1, 2, 3, 4, 5, 6, 0, 1, 2, 3};
  int n = 0;
  for (; c[n].name; n++) {
    ASSERT_LT(n, 10);
    EXPECT_STREQ(c[n].name, names[n]);
    EXPECT_EQ(c[n].value, values[n]);
    EXPECT_EQ(c[n].reserved, 0);
  }
  EXPECT_EQ(n, 10);

  select(1);
  EXPECT_STREQ(base(), "parser:");
  EXPECT_EQ(constants(), nullptr);
  const char *methods[] = {"Free",    "Parse",   "GetPosition", "SetEncoding", "GetCallbacks",
                           "GetBase", "SetBase", "Stop",        "GetError",    "__gc"};
  int m = 0;
  for (; commands()[m].name; m++) {
    ASSERT_LT(m, 10);
    EXPECT_STREQ(commands()[m].name, methods[m]);
    EXPECT_NE(commands()[m].function, nullptr);
  }
  EXPECT_EQ(m, 10);
  EXPECT_STREQ(help()[1].text, "ok=parser:Parse(s$) -- parse XML code");
  EXPECT_STREQ(help()[8].text,
               "s$,line,col,pos=parser:GetError() -- get extended error information (V2.0)");
  EXPECT_EQ(help()[9].text, nullptr);

  select(2);
  EXPECT_EQ(commands(), nullptr);
  EXPECT_EQ(help(), nullptr);
  EXPECT_EQ(constants(), nullptr);
  select(0);
}

TEST(Extensions, AnswerFiveToQueryTwoOnly) {
  auto ext = plugin().get<GetExtensionsFunc>("GetExtensions");
  EXPECT_EQ(ext(2), 5u);
  EXPECT_EQ(ext(0), 0u);
  EXPECT_EQ(ext(1), 0u);
  EXPECT_EQ(ext(3), 0u);
}

TEST(Symbols, PluginImportsNothingFromTheScriptEngine) {
  std::string undefined = runCommand("nm -D --undefined-only '" PLUGIN_PATH "'").output;
  ASSERT_NE(undefined.find("strcmp"), std::string::npos)
      << "nm gave no symbol list:\n" << undefined;
  EXPECT_EQ(undefined.find(" lua_"), std::string::npos) << undefined;
  EXPECT_EQ(undefined.find(" luaL_"), std::string::npos) << undefined;
  std::string exported = runCommand("nm -D --defined-only '" PLUGIN_PATH "'").output;
  EXPECT_NE(exported.find(" PluginHeader"), std::string::npos) << exported;
  EXPECT_EQ(exported.find("InitPlugin"), std::string::npos)
      << "entry points are reached through the resolver only\n" << exported;
}

} // namespace
