// Element names that the document writer accepts: exactly those that Expat
// reads back as one element name, checked for every ASCII name of one and
// two characters (the writer decides plain ASCII names without a parser).
#include "tests/lua_test.h"

namespace {

using Names = LuaTest;

TEST_F(Names, AsciiNamesAreAcceptedExactlyWhenExpatReadsThem) {
  lua(R"(
    local function expatReads(name)
      local elements = 0
      local p = xml.CreateParser({startelement = function(_, n, attrs)
        if n == name and next(attrs) == nil then elements = elements + 1 end
      end})
      local ok = p:Parse("<" .. name .. "/>") == 1 and p:Parse() == 1
      return ok and elements == 1
    end
    local function writerTakes(name)
      return (pcall(velloran.SerializeTable, {[0] = {name = name}}, {format = "indexed"}))
    end
    local chars = {}
    for c = 1, 127 do chars[#chars + 1] = string.char(c) end
    local checked, accepted = 0, 0
    local function check(name)
      local want = expatReads(name)
      if writerTakes(name) ~= want then
        error(string.format("name %q: writer %s, Expat %s", name, tostring(not want), tostring(want)))
      end
      checked = checked + 1
      if want then accepted = accepted + 1 end
    end
    for _, a in ipairs(chars) do
      check(a)
      for _, b in ipairs(chars) do check(a .. b) end
    end
    -- longer names and names with bytes beyond ASCII (decided by Expat)
    for _, name in ipairs{"a.b-c_d:e9", "-a", ".a", "9a", "ab#", "café", "é", "名前", "a\226\128\139b"} do
      check(name)
    end
    assert(checked > 16000 and accepted > 3000, checked .. " " .. accepted)
  )");
}

} // namespace
