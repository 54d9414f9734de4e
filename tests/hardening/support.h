// Shared by the hardening tests: a Lua fixture with the host's fault
// injection and memory accounting reachable from scripts, and the
// serializer's entry points driven over memory streams.
#ifndef VELLORAN_TESTS_HARDENING_SUPPORT_H
#define VELLORAN_TESTS_HARDENING_SUPPORT_H

#include <string.h>

#include <string>
#include <vector>

#include "tests/lua_test.h"
#include "tests/memory_stream.h"
#include "velloran/loader.h"
#include "velloran/services.h"

namespace hardening {

// Script functions: failMalloc(n), failAllocMem(n) (the n-th call from now
// fails; 0 disarms) and liveBlocks() (AllocMem blocks now live).
inline int failMalloc(lua_State *L) {
  velloran::failMallocAfter(static_cast<long>(luaL_checknumber(L, 1)));
  return 0;
}
inline int failAllocMem(lua_State *L) {
  velloran::failAllocMemAfter(static_cast<long>(luaL_checknumber(L, 1)));
  return 0;
}
inline int liveBlocks(lua_State *L) {
  lua_pushnumber(L, static_cast<lua_Number>(velloran::memoryStats().blocks));
  return 1;
}

class Script : public LuaTest {
protected:
  void SetUp() override {
    LuaTest::SetUp();
    lua_register(host.state(), "failMalloc", failMalloc);
    lua_register(host.state(), "failAllocMem", failAllocMem);
    lua_register(host.state(), "liveBlocks", liveBlocks);
  }
  void TearDown() override {
    velloran::failMallocAfter(0);
    velloran::failAllocMemAfter(0);
  }
};

using ::Stream;
using ::readStream;
using ::writeStream;

inline const velloran::Plugin &plugin() {
  static const velloran::Plugin *loaded = [] {
    std::string error;
    const velloran::Plugin *p = velloran::loadPlugin(PLUGIN_PATH, &error);
    if (!p)
      ADD_FAILURE() << error;
    return p;
  }();
  return *loaded;
}

inline std::vector<TagItem> formatTags(int format) {
  return {{SERTAG_FORMAT, static_cast<uintptr_t>(format)}, {TAG_DONE, 0}};
}

// One item read back, as text: "key=value", tables as { and }.
inline std::string itemText(const ItemValue &key, const ItemValue &value) {
  auto text = [](const ItemValue &v) -> std::string {
    switch (v.type) {
    case ITEM_NUMBER: {
      double x;
      memcpy(&x, v.data, sizeof x);
      return std::to_string(x);
    }
    case ITEM_TABLE:
      return v.length ? "{" : "}";
    default:
      return std::string(static_cast<const char *>(v.data ? v.data : ""),
                         static_cast<size_t>(v.length));
    }
  };
  bool tableEnd = value.type == ITEM_TABLE && value.length == 0;
  return (tableEnd ? std::string() : text(key)) + "=" + text(value);
}

// Reads until done or failure. Returns the items; *outcome is "done" or
// "failed".
inline std::vector<std::string> readAll(int format, Stream *stream, std::string *outcome) {
  auto tags = formatTags(format);
  std::vector<std::string> items;
  void *context = plugin().InitSerializer(readStream, nullptr, stream, tags.data());
  *outcome = "not opened";
  if (!context)
    return items;
  for (;;) {
    ItemValue key = {-1, nullptr, 0}, value = {-1, nullptr, 0};
    int done = 0;
    if (!plugin().DeserializeItem(context, &key, &value, &done)) {
      *outcome = "failed";
      break;
    }
    if (done) {
      *outcome = "done";
      break;
    }
    items.push_back(itemText(key, value));
  }
  plugin().FreeSerializer(context);
  return items;
}

} // namespace hardening

#endif
