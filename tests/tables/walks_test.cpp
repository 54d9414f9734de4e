// Tables of any depth and any sparseness: the save and load walks keep
// their own stacks and visit only the entries present.
#include "tests/lua_test.h"
#include "velloran/table_session.h"

namespace {

// nest(n, f): a table n elements deep in the shape of format f;
// depth(t, f): how deep such a table goes; doc(n, f): the XML of one.
const char *const SHAPES = R"lua(
local down = {
  items = function(t) return t.a end,
  named = function(t) return t.a and t.a.nodes end,
  indexed = function(t) return t[0] and t[0].nodes end,
}
local up = {
  items = function(c) return {a = c} end,
  named = function(c) return {a = {nodes = c}} end,
  indexed = function(c) return {[0] = {name = "a", nodes = c}} end,
}
function nest(n, f)
  local t = {}
  for i = 1, n do t = up[f](t) end
  return t
end
function depth(t, f)
  local d = 0
  while down[f](t) do t, d = down[f](t), d + 1 end
  return d
end
function doc(n, f)
  local body = ("<a>"):rep(n) .. ("</a>"):rep(n)
  return f == "items" and "<root>" .. body .. "</root>" or body
end
formats = {"items", "named", "indexed"}
)lua";

class Walks : public LuaFileTest {
protected:
  void SetUp() override {
    LuaFileTest::SetUp();
    lua(SHAPES);
  }
};

TEST_F(Walks, AMillionLevelsLoadInEveryFormat) {
  lua(R"(
    for _, f in ipairs(formats) do
      local text = doc(1000000, f)
      local file = assert(io.open(path, "wb"))
      file:write(text)
      file:close()
      eq(depth(velloran.DeserializeTable(text, {format = f}), f), 1000000, f)
      eq(depth(velloran.ReadTable(path, {format = f}), f), 1000000, f)
      collectgarbage()
    end
  )");
}

TEST_F(Walks, TenThousandLevelsSaveThroughAllFourFunctions) {
  lua(R"(
    for _, f in ipairs(formats) do
      local o = {format = f}
      local text = velloran.SerializeTable(nest(10000, f), o)
      velloran.WriteTable(path, nest(10000, f), o)
      eq(depth(velloran.DeserializeTable(text, o), f), 10000, f)
      eq(depth(velloran.ReadTable(path, o), f), 10000, f)
      text = nil
      collectgarbage()
    end
  )");
}

// The indentation of a million levels would be 10^12 bytes: the walk's items
// go to a sink that only counts them.
int items;
int countItem(velloran::Session *, const ItemValue *, const ItemValue *) {
  items++;
  return 1;
}
int countItems(lua_State *L) {
  velloran::Session *s = velloran::newSession(L, nullptr);
  s->putItem = countItem;
  items = 0;
  velloran::saveRoot(L, s, 1);
  velloran::closeSession(s);
  lua_pushinteger(L, items);
  return 1;
}

TEST_F(Walks, TheSaveWalkTakesAMillionLevels) {
  lua_register(host.state(), "countItems", countItems);
  lua("eq(countItems(nest(1000000, 'items')), 2000000)");
}

// #t is 2^29 here: a walk over 1..#t would not end in any test's time.
TEST_F(Walks, SparseTablesSaveTheirEntriesOnly) {
  lua(R"(
    local s = {}
    for i = 29, 0, -1 do s[2^i] = i end
    assert(#s == 2^29)
    local back = velloran.DeserializeTable(velloran.SerializeTable({s, s, s, s, s}))
    for i = 1, 5 do
      for k = 0, 29 do eq(back[i][2^k], k) end
    end
  )");
}

} // namespace
