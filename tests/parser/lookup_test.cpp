// Callback lookup during a parse step: the table is read at every event,
// so changes made by callbacks take effect at once.
#include "tests/lua_test.h"

namespace {

using Lookup = LuaTest;

TEST_F(Lookup, CallbacksChangedDuringParsingTakeEffectAtTheNextEvent) {
  lua(R"(
    local log = {}
    local cb = {}
    local function note(what) return function(_, a) log[#log + 1] = what .. ":" .. tostring(a) end end
    cb.startelement = function(_, name)
      log[#log + 1] = "start:" .. name
      if name == "b" then
        cb.endelement = note("end2")          -- replaced
        cb.characterdata = 0                   -- switched off
      elseif name == "c" then
        cb.characterdata = note("text2")       -- switched on again
        cb.startelement = nil                  -- removed: d is not reported
      end
    end
    cb.endelement = note("end1")
    cb.characterdata = note("text1")
    local p = xml.CreateParser(cb)
    eq(p:Parse("<a>x<b>y</b><c>z<d/></c></a>"), 1)
    eq(table.concat(log, " "),
       "start:a text1:x start:b end2:b start:c text2:z end2:d end2:c end2:a")

    -- the same across Parse calls
    log = {}
    cb.startelement = note("start3")
    local q = xml.CreateParser(cb)
    eq(q:Parse("<a>"), 1)
    cb.startelement = 0
    eq(q:Parse("<b/>"), 1)
    cb.endelement = note("end4")
    eq(q:Parse("</a>"), 1)
    q:Free()
    eq(table.concat(log, " "), "start3:a end2:b end4:a")
  )");
}

TEST_F(Lookup, LookupsHonourTheTablesMetatable) {
  lua(R"(
    local asked = {}
    local cb = setmetatable({endelement = 0}, {
      __index = function(_, key)
        asked[#asked + 1] = key
        if key == "startelement" then return function() end end
      end})
    local p = xml.CreateParser(cb)
    -- "startelement" comes from __index: every start tag asks anew.
    asked = {}
    eq(p:Parse("<a><b/></a>"), 1)
    eq(table.concat(asked, " "), "startelement startelement")
  )");
}

} // namespace
