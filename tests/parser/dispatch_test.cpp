// Callback dispatch: errors kept and raised after Expat returns, switched-off
// callbacks, merging and its delivery points.
#include "tests/lua_test.h"

namespace {

using Dispatch = LuaTest;

TEST_F(Dispatch, CallbackErrorComesOutOfParseUnchanged) {
  lua(R"(
    local calls = 0
    local p = xml.CreateParser({characterdata = function(self, s)
      calls = calls + 1
      error({code = 7})
    end}, nil, 0)
    local ok, err = pcall(p.Parse, p, "<r><a>one<b/>two<c/>three</a>")
    assert(not ok)
    eq(type(err), "table") eq(err.code, 7)
    eq(calls, 1, "no callback after the failure")
    -- the next step starts afresh
    calls = 0
    expectError("", p.Parse, p, "<d>four</d></r>")
    eq(calls, 1)

    local q = xml.CreateParser({characterdata = function() error("boom") end})
    expectError("boom", q.Parse, q, "<a>x</a>")
  )");
}

TEST_F(Dispatch, FailedFlushAtTheEndIsRaised) {
  lua(R"(
    local p = xml.CreateParser({characterdata = function() error("flush failed") end})
    expectError("flush failed", p.Parse, p, "<a>text")  -- delivered when XML_Parse returns
    -- Free runs the final step: a callback error there comes out of Free,
    -- and the object stays open until a later Free
    local fail = false
    local q = xml.CreateParser({characterdata = function() if fail then error("at the end") end end})
    eq(q:Parse("<a>x\r"), 1)  -- Expat holds the CR back until it sees what follows
    fail = true
    expectError("at the end", q.Free, q)
    eq(q:GetPosition(), 1, "still open")
    fail = false
    q:Free()
    expectError("Parser is closed!", q.GetPosition, q)
  )");
}

TEST_F(Dispatch, NonFunctionCallbacks) {
  lua(R"(
    for _, off in ipairs{0, "0", "0.0"} do
      local p = xml.CreateParser({characterdata = off})
      eq(p:Parse("<a>x</a>"), 1)
    end
    for _, bad in ipairs{{}, 1, "yes", true} do
      local p = xml.CreateParser({characterdata = bad})
      expectError('XML callback "characterdata" is not a function!', p.Parse, p, "<a>x</a>")
      -- the object stays usable and sound after the error
      local line = p:GetPosition()
      eq(line, 1)
      p:Free()
    end
  )");
}

TEST_F(Dispatch, TextCutAtEveryByteJoinsToTheSameText) {
  lua(R"(
    local doc = "<r>ab&amp;c&#233;d<![CDATA[<x>]]>e\r\nf</r>"
    local whole = {}
    local p = xml.CreateParser({characterdata = function(self, s) whole[#whole + 1] = s end})
    assert(p:Parse(doc) == 1 and p:Parse() == 1)
    eq(#whole, 1, "one merged run")
    for cut = 1, #doc - 1 do
      local parts = {}
      local q = xml.CreateParser({characterdata = function(self, s) parts[#parts + 1] = s end})
      assert(q:Parse(doc:sub(1, cut)) == 1)
      assert(q:Parse(doc:sub(cut + 1)) == 1)
      assert(q:Parse() == 1)
      eq(table.concat(parts), whole[1], "cut at " .. cut)
      assert(#parts <= 2, "at most one break at the cut")
    end
  )");
}

} // namespace
