// Two attributes of one name would make a file that no reader accepts: the
// save is refused, naming the element, and the old file stays.
#include "tests/lua_test.h"

namespace {

using DuplicateAttributes = LuaTest;

TEST_F(DuplicateAttributes, RefusedWithTheElementsPathAndTheOldFileKept) {
  lua(R"lua(
    local path = os.tmpname()
    local same = {[0] = {key = "a", value = "1"}, [1] = {key = "a", value = "2"}}
    local tables = {named = {doc = {nodes = {e = {attrs = same}}}},
                    indexed = {[0] = {name = "doc", nodes = {[0] = {name = "e", attrs = same}}}}}
    local where = {named = "doc.nodes.e.attrs", indexed = "[0].nodes[0].attrs"}
    for format, t in pairs(tables) do
      velloran.WriteTable(path, {[0] = {name = "old"}}, {format = "indexed"})
      local e = expectError(where[format], velloran.WriteTable, path, t, {format = format})
      eq(velloran.ReadTable(path, {format = "indexed"})[0].name, "old", e)
    end
    os.remove(path)
  )lua");
}

} // namespace
