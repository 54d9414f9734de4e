// A table inside itself is found at any depth, and only there.
#include "tests/lua_test.h"

namespace {

using Tables = LuaTest;

TEST_F(Tables, DeepCyclesAndSharedTables) {
  lua(R"(
    local root = {}
    local t = root
    for i = 1, 300 do t.next = {} t = t.next end
    t.shared = root.next.next
    expectError("contains itself", velloran.SerializeTable, root)
    t.shared = nil
    for i = 1, 300 do t[i] = {i} end -- siblings reuse the path's addresses
    local back = velloran.DeserializeTable(velloran.SerializeTable(root))
    for i = 1, 300 do back = back.next end
    eq(#back, 300) eq(back[300][1], 300)
  )");
}

} // namespace
