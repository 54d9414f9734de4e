// The Host object, the library binding and the script services that differ
// from the Lua API, exercised in a real script state.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "velloran/host.h"
#include "velloran/script.h"
#include "velloran/services.h"

namespace {

template <typename F> F script(int slot) {
  return reinterpret_cast<F>(velloran::hostServices()->slot[HOST_SCRIPT_SERVICES][slot]);
}
template <typename F> F runtime(int slot) {
  return reinterpret_cast<F>(velloran::hostServices()->slot[HOST_RUNTIME_SERVICES][slot]);
}

// Runs a chunk that must succeed.
void mustRun(velloran::Host &host, const std::string &chunk) {
  std::string message;
  EXPECT_TRUE(host.run(chunk, &message)) << message;
}

// A failing chunk's message.
std::string failure(velloran::Host &host, const std::string &chunk) {
  std::string message;
  EXPECT_FALSE(host.run(chunk, &message)) << chunk;
  return message;
}

// What the plugin's callback dispatch does: call the script function in
// protected mode through the host, and re-raise a failure by its status.
int callAndReraise(lua_State *L) {
  lua_pushvalue(L, 1);
  int status = script<int (*)(lua_State *, int, int, int)>(SCRIPT_LUA_PCALL)(L, 0, 0, 0);
  if (status != 0) {
    // The value stays on top: RaiseError raises it with the status.
    script<RaiseErrorFunc>(SCRIPT_RAISE_ERROR)(L, status);
  }
  lua_pushstring(L, "returned");
  return 1;
}

int testErrorId;

// Raises a protected-call status when no callback has failed.
int raiseStatusTwo(lua_State *L) {
  script<RaiseErrorFunc>(SCRIPT_RAISE_ERROR)(L, LUA_ERRRUN);
  return 0;
}

// A command that fails with a registered message and its argument.
int failingCommand(lua_State *) {
  runtime<SetErrorArgumentFunc>(RUNTIME_SET_ERROR_ARGUMENT)("frobnicate");
  return testErrorId;
}

// The same error without an argument.
int failingAgainCommand(lua_State *) {
  return testErrorId;
}

// A command that returns its argument count plus one more than it pushed.
int overreachingCommand(lua_State *L) {
  return lua_gettop(L) + 1;
}

int checkParser(lua_State *L) {
  void *block = script<CheckUdataFunc>(SCRIPT_LUAL_CHECKUDATA)(L, 1, "xml.vlp.parser");
  lua_pushboolean(L, block != nullptr && block == lua_touserdata(L, 1));
  return 1;
}

void setGlobalCommand(lua_State *L, const char *name, CommandFunc f) {
  velloran::pushCommand(L, f);
  lua_setglobal(L, name);
}

TEST(Host, CommandResultsAtOrAbove1000RaiseTheRegisteredMessage) {
  velloran::Host host(PLUGIN_PATH);
  ASSERT_TRUE(host.ok()) << host.error();
  testErrorId = runtime<RegisterErrorFunc>(RUNTIME_REGISTER_ERROR)("Cannot %s the widget!");
  EXPECT_GE(testErrorId, FIRST_ERROR_ID);
  setGlobalCommand(host.state(), "fail", failingCommand);
  setGlobalCommand(host.state(), "overreach", overreachingCommand);
  EXPECT_EQ(failure(host, "fail()"), "Cannot frobnicate the widget!");
  // The argument fills one error only.
  setGlobalCommand(host.state(), "failAgain", failingAgainCommand);
  EXPECT_EQ(failure(host, "failAgain()"), "Cannot  the widget!");
  EXPECT_NE(failure(host, "overreach(1, 2)").find("plugin command returned 3 results"),
            std::string::npos);
  // The plugin's own registered messages come through the same way.
  EXPECT_EQ(failure(host, "debug.getregistry()['xml.vlp.parser'].Parse(42)"),
            "Expat parser expected!");
}

TEST(Host, RaiseErrorReraisesTheFailedCallbacksOwnErrorValue) {
  velloran::Host host(PLUGIN_PATH);
  ASSERT_TRUE(host.ok()) << host.error();
  setGlobalCommand(host.state(), "dispatch", callAndReraise);
  setGlobalCommand(host.state(), "raiseTwo", raiseStatusTwo);
  mustRun(host, R"(
    local object = {code = 7}
    local ok, e = pcall(dispatch, function() error(object) end)
    assert(not ok and e == object, "the very table comes back")
    ok, e = pcall(dispatch, function() error("plain text", 0) end)
    assert(not ok and e == "plain text", e)
    ok, e = pcall(dispatch, function() local x = nil; return x.y end)
    assert(not ok and e:find("attempt to index"), e)
    ok, e = pcall(dispatch, function() error(false) end)
    assert(not ok and e == false)
    assert(dispatch(function() end) == "returned")
    -- Without a value pushed there is only the status.
    ok, e = pcall(raiseTwo)
    assert(not ok and e == "unknown error 2 raised by the plugin", e)
  )");
}

TEST(Host, ScriptSlotsWithTheirOwnContracts) {
  velloran::Host host(PLUGIN_PATH);
  ASSERT_TRUE(host.ok()) << host.error();
  lua_State *L = host.state();
  int top = lua_gettop(L);

  // checkudata: the block for a parser-typed userdata, null otherwise, and
  // never an error.
  setGlobalCommand(L, "isParser", checkParser);
  lua_pushlightuserdata(L, &top);
  lua_setglobal(L, "light");
  mustRun(host, R"(
    assert(isParser(xml.CreateParser({})) == true and isParser() == false)
    for _, v in ipairs{newproxy(true), newproxy(false), light, 1, "s", {}} do
      assert(isParser(v) == false)
    end
  )");
  EXPECT_EQ(lua_gettop(L), top);
}

TEST(Host, MemoryReportsTaggedBlocksToScripts) {
  velloran::Host host(PLUGIN_PATH);
  ASSERT_TRUE(host.ok()) << host.error();
  auto alloc = runtime<AllocMemFunc>(RUNTIME_ALLOC_MEM);
  auto release = runtime<FreeMemFunc>(RUNTIME_FREE_MEM);
  velloran::MemoryStats base = velloran::memoryStats();
  void *a = alloc(300, 1, "serializer");
  void *b = alloc(20, 1, "element");
  lua_pushnumber(host.state(), static_cast<lua_Number>(base.bytes));
  lua_setglobal(host.state(), "base");
  mustRun(host, R"(
    local m = velloran.memory()
    assert(m.bytes == base + 320 and m.tags.serializer == 300 and m.tags.element == 20)
    assert(m.peak >= m.bytes)
    _G.first = m
  )");
  release(a);
  mustRun(host, R"(
    local m = velloran.memory(true)
    assert(m.bytes == base + 20 and m.tags.serializer == nil)
    assert(m.peak == first.peak, "the reading comes before the reset")
    assert(velloran.memory().peak == base + 20)
  )");
  release(b);
}

TEST(Host, ReportsLoadFailuresAndRunErrors) {
  velloran::Host missing("/nonexistent/plugin.vlp");
  EXPECT_FALSE(missing.ok());
  EXPECT_NE(missing.error().find("/nonexistent/plugin.vlp"), std::string::npos);

  velloran::Host host(PLUGIN_PATH);
  ASSERT_TRUE(host.ok());
  EXPECT_EQ(failure(host, "error(setmetatable({}, {__tostring = function() return 'obj' end}))"),
            "obj");
  std::string message;
  EXPECT_FALSE(host.run("error('at line')", &message, "=chunk"));
  EXPECT_EQ(message, "chunk:1: at line");
  EXPECT_EQ(lua_gettop(host.state()), 0);
}

} // namespace
