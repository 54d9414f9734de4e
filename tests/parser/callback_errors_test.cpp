// A callback's error value reaches the script from the Parse that ran it,
// whatever other parsers fail (and are caught) in between.
#include "tests/lua_test.h"

namespace {

using CallbackErrors = LuaTest;

TEST_F(CallbackErrors, KeptPerParserWhateverFailsInBetween) {
  lua(R"lua(
    local doc = '<!DOCTYPE a [<!ENTITY e SYSTEM "e.xml">]><a>&e;</a>'
    local kept = {}
    local function failing(value)
      return xml.CreateParser({startelement = function() error(value, 0) end})
    end
    -- Another parser's failure, caught by the script: inside the entity's
    -- callback, and in a finalizer that runs at a collection there.
    local between = {
      function() local q = failing("other") eq(select(2, pcall(q.Parse, q, "<x/>")), "other") end,
      function()
        local proxy = newproxy(true)
        getmetatable(proxy).__gc = function() local q = failing("gc") pcall(q.Parse, q, "<x/>") end
        proxy = nil
        collectgarbage()
      end,
    }
    for _, f in ipairs(between) do
      local p = xml.CreateParser({
        startelement = function(p, name) if name == "c" then error(kept, 0) end end,
        externalentityref = function(p, child) child:Parse("<c/>") f() return 1 end})
      local ok, e = pcall(p.Parse, p, doc)
      assert(not ok and rawequal(e, kept), tostring(e))
    end
  )lua");
}

} // namespace
