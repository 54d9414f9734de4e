// Callback dispatch: errors kept per parser and raised after Expat returns,
// switched-off callbacks, merging and its delivery points, and the callback
// table read at every event.
#include "tests/lua_test.h"

namespace {

using Dispatch = LuaTest;

TEST_F(Dispatch, CallbackErrorComesOutOfParseUnchanged) {
  lua(R"(
    local calls, err = 0, {code = 7}
    local p = xml.CreateParser({characterdata = function(self, s)
      calls = calls + 1
      error(err)
    end}, nil, 0)
    local ok, e = pcall(p.Parse, p, "<r><a>one<b/>two<c/>three</a>")
    assert(not ok and rawequal(e, err), tostring(e))
    eq(calls, 1, "no callback after the failure")
    -- the next step starts afresh
    calls = 0
    expectError("", p.Parse, p, "<d>four</d></r>")
    eq(calls, 1)
  )");
}

TEST_F(Dispatch, TextCutAtEveryByteJoinsToTheSameText) {
  lua(R"(
    local doc = "<r>ab&amp;c&#233;d<![CDATA[<x>]]>e\r\nf</r>"
    -- the texts delivered when the chunks are parsed
    local function texts(...)
      local got = {}
      local p = xml.CreateParser({characterdata = function(self, s) got[#got + 1] = s end})
      for _, chunk in ipairs{...} do assert(p:Parse(chunk) == 1) end
      assert(p:Parse() == 1)
      return got
    end
    local whole = texts(doc)
    eq(#whole, 1, "one merged run")
    for cut = 1, #doc - 1 do
      local parts = texts(doc:sub(1, cut), doc:sub(cut + 1))
      eq(table.concat(parts), whole[1], "cut at " .. cut)
      assert(#parts <= 2, "at most one break at the cut")
    end
  )");
}

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
      {what = "in the callback", function()
        local q = failing("other") eq(select(2, pcall(q.Parse, q, "<x/>")), "other")
      end},
      {what = "in a finalizer", function()
        local proxy = newproxy(true)
        getmetatable(proxy).__gc = function() local q = failing("gc") pcall(q.Parse, q, "<x/>") end
        proxy = nil
        collectgarbage()
      end},
    }
    eachRow(between, function(row)
      local f = row[1]
      local p = xml.CreateParser({
        startelement = function(p, name) if name == "c" then error(kept, 0) end end,
        externalentityref = function(p, child) child:Parse("<c/>") f() return 1 end})
      local ok, e = pcall(p.Parse, p, doc)
      assert(not ok and rawequal(e, kept), tostring(e))
    end)
  )lua");
}

using Lookup = LuaTest;

TEST_F(Lookup, CallbacksChangedDuringParsingTakeEffectAtTheNextEvent) {
  lua(R"(
    local log = {}
    local function note(what) return function(_, a) log[#log + 1] = what .. ":" .. tostring(a) end end
    local cb = {endelement = note("end1"), characterdata = note("text1")}
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
    local p = xml.CreateParser(cb)
    eq(p:Parse("<a>x<b>y</b><c>z<d/></c></a>"), 1)
    eq(table.concat(log, " "),
       "start:a text1:x start:b end2:b start:c text2:z end2:d end2:c end2:a")
  )");
}

} // namespace
