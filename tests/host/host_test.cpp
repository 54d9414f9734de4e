// Host paths of commands that the plugin's own errors do not reach: a
// registered message without its argument, a command that claims more
// results than it pushed, RaiseError with no value, and checkudata on
// userdata without a metatable.
#include "tests/lua_test.h"
#include "velloran/script.h"

namespace {

using Host = LuaTest;

template <typename F> F service(int table, int slot) {
  return reinterpret_cast<F>(velloran::hostServices()->slot[table][slot]);
}

int testErrorId;

// Fails with a registered message; an argument, when given, fills it.
int fail(lua_State *L) {
  if (lua_gettop(L) > 0)
    service<SetErrorArgumentFunc>(HOST_RUNTIME_SERVICES, RUNTIME_SET_ERROR_ARGUMENT)("frobnicate");
  return testErrorId;
}
int overreach(lua_State *L) {
  return lua_gettop(L) + 1;
}
// Raises a protected-call status with no error value pushed.
int raiseTwo(lua_State *L) {
  service<RaiseErrorFunc>(HOST_SCRIPT_SERVICES, SCRIPT_RAISE_ERROR)(L, LUA_ERRRUN);
  return 0;
}

TEST_F(Host, CommandFailuresGiveTheirMessages) {
  testErrorId = service<RegisterErrorFunc>(HOST_RUNTIME_SERVICES,
                                           RUNTIME_REGISTER_ERROR)("Cannot %s the widget!");
  lua_State *L = host.state();
  const std::pair<const char *, CommandFunc> commands[] = {
      {"fail", fail}, {"overreach", overreach}, {"raiseTwo", raiseTwo}};
  for (const auto &command : commands) {
    velloran::pushCommand(L, command.second);
    lua_setglobal(L, command.first);
  }
  lua_pushlightuserdata(L, &testErrorId);
  lua_setglobal(L, "light");
  lua(R"(
    local function message(f, ...) return select(2, pcall(f, ...)) end
    eq(message(fail, 1), "Cannot frobnicate the widget!")
    eq(message(fail), "Cannot  the widget!") -- the argument fills one error only
    assert(message(overreach, 1, 2):find("plugin command returned 3 results"))
    eq(message(raiseTwo), "unknown error 2 raised by the plugin")
    local Parse = xml.CreateParser({}).Parse
    for _, v in ipairs{newproxy(false), light} do
      expectError("Expat parser expected!", Parse, v)
    end
  )");
}

} // namespace
