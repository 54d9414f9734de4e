// The script services whose contracts differ from the Lua API (RaiseError,
// registered errors, checkudata), exercised in a real script state.
#include "tests/lua_test.h"
#include "velloran/script.h"

namespace {

using Host = LuaTest;

template <typename F> F script(int slot) {
  return reinterpret_cast<F>(velloran::hostServices()->slot[HOST_SCRIPT_SERVICES][slot]);
}
template <typename F> F runtime(int slot) {
  return reinterpret_cast<F>(velloran::hostServices()->slot[HOST_RUNTIME_SERVICES][slot]);
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

// Raises a protected-call status when no callback has failed.
int raiseStatusTwo(lua_State *L) {
  script<RaiseErrorFunc>(SCRIPT_RAISE_ERROR)(L, LUA_ERRRUN);
  return 0;
}

int testErrorId;

// A command that fails with a registered message and, once, its argument.
int failingCommand(lua_State *L) {
  if (lua_gettop(L) > 0)
    runtime<SetErrorArgumentFunc>(RUNTIME_SET_ERROR_ARGUMENT)("frobnicate");
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

TEST_F(Host, CommandResultsAtOrAbove1000RaiseTheRegisteredMessage) {
  testErrorId = runtime<RegisterErrorFunc>(RUNTIME_REGISTER_ERROR)("Cannot %s the widget!");
  EXPECT_GE(testErrorId, FIRST_ERROR_ID);
  setGlobalCommand(host.state(), "fail", failingCommand);
  setGlobalCommand(host.state(), "overreach", overreachingCommand);
  // The argument fills one error only; the plugin's own messages come the same way.
  lua(R"(
    local function message(f, ...) return select(2, pcall(f, ...)) end
    eq(message(fail, 1), "Cannot frobnicate the widget!")
    eq(message(fail), "Cannot  the widget!")
    assert(message(overreach, 1, 2):find("plugin command returned 3 results"))
    eq(message(debug.getregistry()['xml.vlp.parser'].Parse, 42), "Expat parser expected!")
  )");
}

TEST_F(Host, RaiseErrorReraisesTheFailedCallbacksOwnErrorValue) {
  setGlobalCommand(host.state(), "dispatch", callAndReraise);
  setGlobalCommand(host.state(), "raiseTwo", raiseStatusTwo);
  lua(R"(
    local object = {code = 7}
    local ok, e = pcall(dispatch, function() error(object) end)
    assert(not ok and e == object, "the very table comes back")
    ok, e = pcall(dispatch, function() error("plain text", 0) end)
    assert(not ok and e == "plain text", e)
    ok, e = pcall(dispatch, function() error(false) end)
    assert(not ok and e == false)
    assert(dispatch(function() end) == "returned")
    -- Without a value pushed there is only the status.
    ok, e = pcall(raiseTwo)
    assert(not ok and e == "unknown error 2 raised by the plugin", e)
  )");
}

// checkudata: the block for a parser-typed userdata, null otherwise, and
// never an error.
TEST_F(Host, CheckUdataGivesNullInsteadOfAnError) {
  lua_State *L = host.state();
  int top = lua_gettop(L);
  setGlobalCommand(L, "isParser", checkParser);
  lua_pushlightuserdata(L, &top);
  lua_setglobal(L, "light");
  lua(R"(
    assert(isParser(xml.CreateParser({})) == true and isParser() == false)
    for _, v in ipairs{newproxy(true), newproxy(false), light, 1, "s", {}} do
      assert(isParser(v) == false)
    end
  )");
  EXPECT_EQ(lua_gettop(L), top);
}

} // namespace
