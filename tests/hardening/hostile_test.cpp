// Hostile scripts: the one table of wrong calls (every method and
// CreateParser with every kind of wrong argument, wrong self, closed
// objects), from the main chunk and from inside callbacks, where the
// object's own disturbing methods are refused too; and collections forced in
// the middle of a parse. Only clear errors may come out.
#include "tests/lua_test.h"

namespace {

using Hostile = LuaTest;

static const char *const CALLS = R"lua(
  METHODS = {"Free", "Parse", "GetPosition", "SetEncoding", "GetCallbacks", "GetBase",
             "SetBase", "Stop", "GetError", "SetParamEntityParsing", "UseForeignDTD",
             "GetInputContext", "__gc"}
  local proto = xml.CreateParser({})
  M = {}
  for _, name in ipairs(METHODS) do M[name] = proto[name] end
  proto:Free()

  -- Runs every wrong call; each must fail with a message holding its
  -- pattern (the engine's own argument errors keep the engine's wording).
  function wrongCalls()
    local closed = xml.CreateParser({})
    closed:Free()
    local others = {nil, 1, "text", {}, print, io.stdout, coroutine.create(function() end), true,
                    newproxy and newproxy(true) or {}}
    for _, name in ipairs(METHODS) do
      for i = 1, 9 do
        -- (a text second, which Parse and SetEncoding examine first)
        expectError("Expat parser expected!", M[name], others[i], "x")
      end
      if name ~= "Free" and name ~= "__gc" then
        expectError("Parser is closed!", M[name], closed, "x")
      else
        M[name](closed)
      end
    end
    local p = xml.CreateParser({})
    for _, bad in ipairs{{}, print, true} do
      for _, name in ipairs{"Parse", "SetEncoding", "SetBase"} do
        expectError("string expected", p[name], p, bad)
      end
      for _, name in ipairs{"SetParamEntityParsing", "UseForeignDTD"} do
        expectError("number expected", p[name], p, bad)
      end
      expectError("string expected", xml.CreateParser, {}, bad)
      expectError("number expected", xml.CreateParser, {}, nil, bad == true and {} or bad)
    end
    expectError("string expected", p.SetEncoding, p)
    expectError("string expected", p.SetBase, p)
    local notTables = {nil, 1, "t", print, true}
    for i = 1, 5 do expectError("table expected", xml.CreateParser, notTables[i]) end
    expectError("table expected, got no value", xml.CreateParser)
    -- the plugin's own messages say where the script called
    expectError(':1: Invalid key "x"', loadstring("xml.CreateParser({x = 1})", "=s"))
    for _, bad in ipairs{{{print}, "1"}, {{[true] = print}, "<boolean>"},
                         {{[{}] = print}, "<table>"}, {{Characterdata = print}, "Characterdata"}} do
      expectError('Invalid key "' .. bad[2] .. '" in callback table!', xml.CreateParser, bad[1])
    end
    p:Free()
  end
)lua";

TEST_F(Hostile, WrongArgumentsAndOwnMethodsFromInsideCallbacks) {
  lua(CALLS);
  lua(R"lua(
    -- A failing check inside a callback comes out of Parse.
    local events = 0
    local function hostile(self)
      events = events + 1
      wrongCalls()
      -- the object's own methods that would disturb the running parse
      for _, call in ipairs{{"Parse", "<x/>"}, {"Parse"}, {"Free"}, {"__gc"},
                            {"SetEncoding", "UTF-8"}, {"SetParamEntityParsing", 1},
                            {"UseForeignDTD"}} do
        expectError("Invalid parser state!", self[call[1]], self, call[2])
      end
      -- and those that may run
      assert(self:GetPosition() >= 1)
      assert(self:GetCallbacks())
      self:SetBase("b")
    end
    local p = xml.CreateParser({startelement = hostile, endelement = hostile,
      characterdata = hostile, comment = hostile, processinginstruction = hostile}, "|", 0)
    eq(p:Parse("<r><a x='1'>text<!--c--><?pi?></a></r>"), 1)
    eq(p:Parse(), 1)
    p:Free()
    eq(events, 7)
  )lua");
}

TEST_F(Hostile, CollectionsForcedInTheMiddleOfAParse) {
  lua(R"lua(
    local texts = {}
    local callbacks = {
      startelement = function(self, name)
        -- parsers made and dropped here are collected while this one runs
        for i = 1, 20 do
          local q = xml.CreateParser({characterdata = function() collectgarbage() end})
          q:Parse("<q>" .. name .. "</q>")
        end
        collectgarbage() collectgarbage()
      end,
      characterdata = function(self, s)
        texts[#texts + 1] = s
        collectgarbage("step", 1000)
      end}
    -- the only reference to the object is the stack of the running call
    local function run(obj)
      return obj:Parse("<r>" .. string.rep("<e>some text &amp; more</e>", 50) .. "</r>"),
             obj:Parse("<end/>")
    end
    local a, b = run(xml.CreateParser(callbacks))
    eq(a, 1) eq(b, 0, "two roots")
    collectgarbage() collectgarbage()
    eq(#texts, 50) eq(texts[50], "some text & more")
  )lua");
}

} // namespace
