// xml.CreateParser: the merge argument, _nonstrict, handler registration at
// creation, the collector hook. Wrong arguments: tests/hardening/hostile_test.cpp.
#include "tests/lua_test.h"

namespace {

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
