// xml.CreateParser: arguments, key validation, handler registration.
#include "tests/lua_test.h"

namespace {

using CreateParser = LuaTest;

TEST_F(CreateParser, NamesTheFirstBadKey) {
  lua(R"(
    expectError('Invalid key "bogus" in callback table!', xml.CreateParser, {bogus = 1})
    expectError('Invalid key "1" in callback table!', xml.CreateParser, {function() end})
    expectError('Invalid key "<boolean>" in callback table!', xml.CreateParser, {[true] = 1})
    expectError('Invalid key "<table>" in callback table!', xml.CreateParser, {[{}] = 1})
    -- _nonstrict switches the check off, whatever its value
    assert(xml.CreateParser({bogus = 1, _nonstrict = 1}))
    assert(xml.CreateParser({bogus = 1, _nonstrict = 0}))
    assert(xml.CreateParser({}))
  )");
}

TEST_F(CreateParser, ArgumentErrorsKeepTheEngineWording) {
  lua(R"(
    expectError("table expected", xml.CreateParser)
    expectError("table expected", xml.CreateParser, "x")
    expectError("string expected", xml.CreateParser, {}, {})
    expectError("number expected", xml.CreateParser, {}, "", "many")
  )");
}

TEST_F(CreateParser, MergeArgumentTruncatesTowardZero) {
  lua(R"(
    local doc = "<a>one&amp;two</a>"
    for _, case in ipairs{{nil, 1}, {1, 1}, {-1, 1}, {0, 2}, {0.5, 2}, {1e300, 1}} do
      local merge, calls = case[1], 0
      local p = xml.CreateParser({characterdata = function() calls = calls + 1 end}, nil, merge)
      assert(p:Parse(doc) == 1)
      if case[2] == 1 then eq(calls, 1, "merged calls for " .. tostring(merge))
      else assert(calls > 1, "unmerged calls for " .. tostring(merge)) end
    end
  )");
}

TEST_F(CreateParser, ZeroCallbackRegistersButNeverCalls) {
  lua(R"(
    local cb = {characterdata = 0}
    local p = xml.CreateParser(cb)
    assert(p:Parse("<a>text</a>") == 1)
    -- the handler was registered at creation: a function set later is called
    local got = {}
    cb.characterdata = function(self, s) got[#got + 1] = s end
    assert(p:Parse("") == 1)
    local q = xml.CreateParser(cb)
    assert(q:Parse("<b>more</b>") == 1)
    eq(table.concat(got), "more")
  )");
}

TEST_F(CreateParser, CallbacksAddedAfterCreationNeedARegisteredHandler) {
  lua(R"(
    local cb = {}
    local p = xml.CreateParser(cb)
    local called = false
    cb.characterdata = function() called = true end
    assert(p:Parse("<a>text</a>") == 1)
    assert(not called, "no handler was registered for characterdata")
  )");
}

TEST_F(CreateParser, GetCallbacksGivesTheSameTable) {
  lua(R"(
    local cb = {characterdata = function() end}
    local p = xml.CreateParser(cb)
    assert(rawequal(p:GetCallbacks(), cb))
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
    collectgarbage("collect")
    collectgarbage("collect")
    assert(not called)
  )");
}

} // namespace
