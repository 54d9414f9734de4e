// Host paths of commands that the plugin's own errors do not reach: a
// registered message without its argument, a command that claims more
// results than it pushed, RaiseError with no value, and checkudata on
// userdata without a metatable; and the finalizers at the close.
#include "tests/lua_test.h"
#include "tests/run_command.h"
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
    expectError("Cannot frobnicate the widget!", fail, 1)
    eq(select(2, pcall(fail)), "Cannot  the widget!") -- the argument fills one error only
    expectError("plugin command returned 3 results", overreach, 1, 2)
    expectError("unknown error 2 raised by the plugin", raiseTwo)
    local Parse = xml.CreateParser({}).Parse
    expectError("Expat parser expected!", Parse, newproxy(false))
    expectError("Expat parser expected!", Parse, light)
  )");
}

// What a script leaves behind is finalized before its state closes, and so
// is what those finalizers make; a chain of finalizers with no end cannot
// make a parser once the state closes. Under ASan a parser never freed
// fails the program's leak check.
TEST(Closing, FinalizersRunOnWhatFinalizersMake) {
  const std::string later =
      "function later(f) local p = newproxy(true) getmetatable(p).__gc = f return p end ";
  const char *const rows[][2] = {
      // script, output
      {"keep = later(function() xml.CreateParser({}):Parse(\"<a>\") "
       "keep = later(function() io.write(\"finalized\") end) end)",
       "finalized"},
      {"function chain() keep = later(function() chain() xml.CreateParser({}):Parse(\"<a>\") "
       "end) end chain()",
       ""}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row[0]);
    CommandResult run = runCommand("'" VELLORAN_PATH "' -e '" + later + row[0] + "' 2>&1");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, row[1]);
  }
}

} // namespace
