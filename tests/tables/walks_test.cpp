// Tables of any depth and any sparseness: the save and load walks keep
// their own stacks and visit only the entries present.
#include "tests/lua_test.h"

namespace {

// nest(n, f): a table n elements deep in the shape of format f;
// depth(t, f): how deep such a table goes; doc(n, f): the XML of one.
const char *const SHAPES = R"lua(
local wrap = {
  items = function(c) return {a = c} end,
  named = function(c) return {a = {nodes = c}} end,
  indexed = function(c) return {[0] = {name = "a", nodes = c}} end,
}
local key = {items = "a", named = "a", indexed = 0}
function nest(n, f)
  local t = {}
  for i = 1, n do t = wrap[f](t) end
  return t
end
function depth(t, f)
  local d = 0
  while t[key[f]] do
    t, d = t[key[f]], d + 1
    if f ~= "items" then t = t.nodes end
  end
  return d
end
function doc(n, f)
  local body = ("<a>"):rep(n) .. ("</a>"):rep(n)
  return f == "items" and "<root>" .. body .. "</root>" or body
end
)lua";

// A million levels load and save through all four functions, and the saved
// text grows with the depth, not with its square; one test per format, so
// that they run side by side.
class SlowWalks : public LuaFileTest {
protected:
  void deepTables(const std::string &format) {
    lua(SHAPES);
    lua("local f, o = '" + format + "', {format = '" + format + R"('}
      local text, file = doc(1000000, f), assert(io.open(path, "wb"))
      file:write(text)
      file:close()
      eq(depth(velloran.DeserializeTable(text, o), f), 1000000)
      eq(depth(velloran.ReadTable(path, o), f), 1000000)
      local t = nest(1000000, f)
      text = velloran.SerializeTable(t, o)
      velloran.WriteTable(path, t, o)
      t = nil
      assert(#text < 80 * 1000000, #text)
      eq(depth(velloran.DeserializeTable(text, o), f), 1000000)
      eq(depth(velloran.ReadTable(path, o), f), 1000000)
    )");
  }
};

TEST_F(SlowWalks, DeepItemTablesLoadAndSave) {
  deepTables("items");
}
TEST_F(SlowWalks, DeepNamedTablesLoadAndSave) {
  deepTables("named");
}
TEST_F(SlowWalks, DeepIndexedTablesLoadAndSave) {
  deepTables("indexed");
}

// #t is 2^29 here: a walk over 1..#t would not end in any test's time.
TEST_F(SlowWalks, SparseTablesSaveTheirEntriesOnly) {
  lua(R"(
    local s = {}
    for i = 29, 0, -1 do s[2^i] = i end
    assert(#s == 2^29)
    expectEqual(velloran.DeserializeTable(velloran.SerializeTable({s, s, s, s, s})), {s, s, s, s, s})
  )");
}

} // namespace
