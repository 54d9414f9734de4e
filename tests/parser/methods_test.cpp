// xml.CreateParser and the methods of parser objects: states, results,
// positions and errors. Wrong arguments: tests/hardening/hostile_test.cpp.
#include "tests/lua_test.h"

namespace {

using Methods = LuaTest;

TEST_F(Methods, NewParserPositionErrorAndBase) {
  lua(R"(
    local p = xml.CreateParser({})
    local line, col, pos = p:GetPosition()
    eq(line, 1) eq(col, 1) eq(pos, 0)
    local msg, l2, c2, p2 = p:GetError()
    eq(msg, nil) eq(l2, 1) eq(c2, 1) eq(p2, 0)
    eq(p:GetBase(), nil)
    p:SetBase("http://example.org/dir/")
    eq(p:GetBase(), "http://example.org/dir/")
  )");
}

TEST_F(Methods, FinishingAndFinishedStates) {
  lua(R"(
    local calls = 0
    local p = xml.CreateParser({characterdata = function() calls = calls + 1 end})
    eq(p:Parse("<a>x</a>", "ignored", 42), 1)
    eq(p:Parse(), 1)
    calls = 0
    eq(p:Parse("<b>y</b>"), 0, "text after the end")
    eq(calls, 0)
    eq(p:GetError(), nil, "a finished parser keeps its earlier error state")
    eq(p:Parse(), 0, "final chunk twice")
    eq(p:GetError(), "parsing finished")
  )");
}

TEST_F(Methods, SetEncodingTakesEffect) {
  lua(R"(
    local text
    local p = xml.CreateParser({characterdata = function(self, s) text = s end})
    p:SetEncoding("ISO-8859-1")
    eq(p:Parse("<a>\233</a>"), 1)
    eq(text, "\195\169", "Latin-1 e-acute arrives as UTF-8")
    expectError("Invalid parser state!", p.SetEncoding, p, "UTF-8")
    local e = xml.CreateParser({})
    eq(e:Parse(""), 1, "an empty chunk is a parse step too")
    expectError("Invalid parser state!", e.SetEncoding, e, "UTF-8")
  )");
}

TEST_F(Methods, XmlErrorsAreResultsWithPositions) {
  lua(R"(
    local p = xml.CreateParser({})
    eq(p:Parse("<doc>\n  &undefined;</doc>"), 0)
    local msg, line, col, pos = p:GetError()
    eq(msg, "undefined entity")
    eq(line, 2) eq(col, 3) eq(pos, 9)
    eq(p:Parse("<more/>"), 0, "Expat keeps its error")
  )");
}

// Inside its own callback an object reports where it is, then stops.
TEST_F(Methods, StopFromACallbackAndBetweenChunks) {
  lua(R"(
    local seen = {}
    local p
    p = xml.CreateParser({characterdata = function(self, s)
      assert(rawequal(self, p))
      seen[#seen + 1] = table.concat({s, self:GetPosition()}, ",") .. tostring(self:GetError())
      eq(self:Stop(), 1)
    end}, nil, 0)
    eq(p:Parse("<a>one<b/>two</a>"), 0)
    eq(p:GetError(), "parsing aborted")
    eq(table.concat(seen, "|"), "one,1,4,4nil")

    local q = xml.CreateParser({})
    eq(q:Stop(), 1)
    eq(q:Parse("<a/>"), 0)
    eq(q:GetError(), "parsing finished")
    eq(q:Stop(), 0)
  )");
}

TEST_F(Methods, FreeFinishesThenCloses) {
  lua(R"(
    local got = {}
    local p = xml.CreateParser({characterdata = function(self, s) got[#got + 1] = s end})
    eq(p:Parse("<a>first"), 1)
    eq(table.concat(got, "|"), "first", "text cut at the chunk end is delivered")
    eq(p:Parse(" second"), 1)
    eq(p:Free(), nil)
    eq(table.concat(got, "|"), "first| second")
    p:Free()  -- a second Free does nothing

    -- not well-formed at its end, never parsed: no error from Free
    local q = xml.CreateParser({})
    q:Parse("<open>")
    q:Free()
    xml.CreateParser({}):Free()

    -- a finished parser is closed without calling anything
    local calls = 0
    local r = xml.CreateParser({characterdata = function() calls = calls + 1 end})
    r:Parse("<a>t</a>") r:Parse()
    calls = 0
    r:Free()
    eq(calls, 0)
  )");
}

TEST_F(Methods, PositionsCountAcrossChunks) {
  lua(R"(
    local p = xml.CreateParser({})
    local chunk = string.rep("\n", 1000000)
    assert(p:Parse("<a>") == 1)
    for i = 1, 5 do assert(p:Parse(chunk) == 1) end
    assert(p:Parse("&bad;") == 0)
    local msg, line, col, pos = p:GetError()
    eq(line, 5000001) eq(col, 1) eq(pos, 5000004)
  )");
}

using CreateParser = LuaTest;

TEST_F(CreateParser, MergeArgumentTruncatesTowardZero) {
  lua(R"(
    assert(xml.CreateParser({bogus = 1, _nonstrict = 0}))
    for _, case in ipairs{{nil, 1}, {1, 1}, {-1, 1}, {0, 2}, {0.5, 2}, {1e300, 1}} do
      local calls = 0
      local p = xml.CreateParser({characterdata = function() calls = calls + 1 end}, nil, case[1])
      eq(p:Parse("<a>one&amp;two</a>"), 1)
      assert(case[2] == 1 and calls == 1 or case[2] == 2 and calls > 1, tostring(case[1]))
    end
  )");
}

TEST_F(CreateParser, HandlersAreRegisteredForTheKeysPresentAtCreation) {
  lua(R"(
    local got = {}
    local cb = {characterdata = 0}
    local p = xml.CreateParser(cb)
    local q = xml.CreateParser({})
    assert(rawequal(p:GetCallbacks(), cb))
    eq(p:Parse("<a>off</a>"), 1)
    cb.characterdata = function(self, s) got[#got + 1] = s end
    q:GetCallbacks().characterdata = cb.characterdata
    eq(xml.CreateParser(cb):Parse("<b>more</b>"), 1)
    eq(q:Parse("<a>never</a>"), 1)
    eq(table.concat(got), "more")
  )");
}

TEST_F(CreateParser, CollectingAnUnfinishedParserCallsNothing) {
  lua(R"(
    local called = false
    do
      local p = xml.CreateParser({characterdata = function() called = true end})
      p:Parse("<a>pending text")
    end
    called = false
    collectgarbage() collectgarbage()
    assert(not called)
  )");
}

} // namespace
