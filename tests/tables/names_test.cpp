// Element names that the document writer accepts: exactly those that Expat
// reads back as one element name, checked for every ASCII name of one and
// two characters (the writer decides plain ASCII names without a parser).
#include "tests/lua_test.h"

namespace {

using SlowNames = LuaTest;

TEST_F(SlowNames, AsciiNamesAreAcceptedExactlyWhenExpatReadsThem) {
  lua(R"(
    local function expatReads(name)
      local elements = 0
      local p = xml.CreateParser({startelement = function(_, n, attrs)
        if n == name and next(attrs) == nil then elements = elements + 1 end
      end})
      return p:Parse("<" .. name .. "/>") == 1 and p:Parse() == 1 and elements == 1
    end
    local accepted = 0
    local function check(name)
      local want = expatReads(name)
      local takes = pcall(velloran.SerializeTable, {[0] = {name = name}}, {format = "indexed"})
      eq(takes, want, ("writer taking name %q"):format(name))
      if want then accepted = accepted + 1 end
    end
    for a = 1, 127 do
      check(string.char(a))
      for b = 1, 127 do check(string.char(a, b)) end
    end
    -- longer names and names with bytes beyond ASCII (decided by Expat)
    for _, name in ipairs{"a.b-c_d:e9", "-a", ".a", "9a", "ab#", "café", "é", "名前", "a\226\128\139b"} do
      check(name)
    end
    assert(accepted > 3000, accepted .. " names accepted")
  )");
}

} // namespace
