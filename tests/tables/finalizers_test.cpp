// Finalizers that run saves, loads and collections in the middle of a save
// or load, at each collector cycle in turn: nothing that the walk points
// into may be freed, and another save's options never leak into the one
// running.
#include "tests/lua_test.h"
#include "tests/tables/meanwhile.h"

namespace {

using Finalizers = LuaFileTest;

// Keys and the root name that only the saved table and the options table
// hold, dropped and collected by the finalizer while the save runs.
TEST_F(Finalizers, KeysAndRootNameStayAliveWhileTheyAreUsed) {
  lua(MEANWHILE);
  lua(R"(
    local skips = everyCycle(function()
      local t, o = {}, {rootnode = ("settings"):rep(2)}
      for i = 1, 30 do t[("key%d_"):format(i) .. ("x"):rep(40)] = {i} end
      return {t = t, o = o}
    end, function(s)
      for k in pairs(s.t) do s.t[k] = nil end
      s.o.rootnode = nil
      collectgarbage()
      velloran.DeserializeTable(velloran.SerializeTable({a = {1}}))
    end, function(s)
      local text = velloran.SerializeTable(s.t, s.o)
      assert(text:find("<settingssettings>", 1, true), text)
    end)
    assert(skips > 0, "the finalizer never ran")
  )");
}

// The sessions' metatable is there before any script runs: registered by
// the first save, a finalizer that saves could register it meanwhile.
TEST_F(Finalizers, SessionMetatableIsRegisteredBeforeAnySave) {
  lua(R"(assert(type(debug.getregistry()["velloran.tablesession"].__gc) == "function"))");
}

// Every save and load opened by a finalizer uses options of its own; the
// one running keeps its root name from start to end.
TEST_F(Finalizers, AnotherSaveMeanwhileKeepsTheOptions) {
  lua(MEANWHILE);
  lua(R"(
    local t = {volume = 3, list = {"a", "b", {c = "d"}}}
    local o = {rootnode = "settings"}
    everyCycle(function() end, function() velloran.SerializeTable({}) end, function()
      velloran.WriteTable(path, t, o)
      eq(velloran.ReadTable(path, o).list[3].c, "d")
    end)
    everyCycle(function() end,
               function() velloran.DeserializeTable(velloran.SerializeTable({x = {1}})) end,
               function() eq(velloran.ReadTable(path, o).volume, 3) end)
  )");
}

} // namespace
