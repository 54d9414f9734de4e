// Limits: documents nested a million levels deep through the parser, the
// entity attacks, and texts of 100 MB. Each ends with a clear result.
#include "tests/lua_test.h"
#include "tests/serializer/support.h"

namespace {

using namespace sertest;
using SlowLimits = LuaTest;

TEST_F(SlowLimits, MillionLevelsThroughTheParserWithCallbacks) {
  lua(R"lua(
    local n, depth, deepest, text = 1000000, 0, 0
    local p = xml.CreateParser({
      startelement = function() depth = depth + 1; deepest = math.max(depth, deepest) end,
      endelement = function() depth = depth - 1 end,
      characterdata = function(self, s) text = s end})
    eq(p:Parse(string.rep("<a>", n) .. "x" .. string.rep("</a>", n)), 1)
    eq(p:Parse(), 1)
    p:Free()
    eq(deepest, n) eq(depth, 0) eq(text, "x")
    p = xml.CreateParser({startelement = function() end})
    eq(p:Parse(string.rep("<a>", n)), 1)
    eq(p:Parse(), 0)
    eq(p:GetError(), "no element found")
    p:Free()
  )lua");
}

TEST_F(SlowLimits, EntityAttacksEndWithExpatsError) {
  lua(R"lua(
    local laughs = {'<!DOCTYPE r [<!ENTITY l0 "lol">'}
    for i = 1, 12 do
      laughs[#laughs + 1] = string.format('<!ENTITY l%d "%s">', i, string.rep("&l" .. (i - 1) .. ";", 10))
    end
    local quadratic = '<!DOCTYPE r [<!ENTITY a "' .. string.rep("x", 50000) .. '">]><r>' ..
                      string.rep("&a;", 50000) .. '</r>'
    -- The laughs again from an external DTD, and made of parameter
    -- entities there: the child refuses them, or the document does.
    local dtdLaughs = table.concat(laughs):sub(14)
    local peLaughs = dtdLaughs:gsub("ENTITY l", "ENTITY %% l"):gsub("&", "%%") .. '<!ENTITY b "%l12;">'
    eachRow({{what = "billion laughs", nil, table.concat(laughs) .. ']><r>&l12;</r>'},
             {what = "quadratic blowup", nil, quadratic},
             {what = "laughs in the external DTD", dtdLaughs, '<!DOCTYPE r SYSTEM "l"><r>&l12;</r>'},
             {what = "laughs of parameter entities", peLaughs, '<!DOCTYPE r SYSTEM "p"><r/>'}},
            function(attack)
      for _, merge in ipairs{0, 1} do
        local refused
        local p = xml.CreateParser({characterdata = function() end,
          externalentityref = function(self, child)
            if child:Parse(attack[1]) == 1 and child:Parse() == 1 then return 1 end
            refused = child:GetError()
          end}, nil, merge)
        p:SetParamEntityParsing(xml.XML_PARAM_ENTITY_PARSING_ALWAYS)
        eq(p:Parse(attack[2]), 0, "merge " .. merge)
        assert((refused or p:GetError()):find("amplification", 1, true), refused or p:GetError())
        p:Free()
      end
    end)
  )lua");
}

TEST_F(SlowLimits, HundredMegabyteTextThroughCharacterdata) {
  lua(R"lua(
    local size, calls, length, ok = 100 * 1024 * 1024, 0, 0, false
    local p = xml.CreateParser({characterdata = function(self, s)
      calls = calls + 1; length = #s
      ok = s:sub(1, 3) == "xyz" and s:sub(-3) == "xyz"
    end})
    eq(p:Parse("<a>" .. string.rep("xyz", size / 3 + 1):sub(1, size - 3) .. "xyz</a>"), 1)
    eq(p:Parse(), 1)
    p:Free()
    eq(calls, 1, "one merged callback") eq(length, size) assert(ok)
  )lua");
}

// The reader hands a 100 MB text of the item format over as one string,
// its buffer growing geometrically.
TEST(SlowLimitsReader, HundredMegabyteTextThroughTheItemsReader) {
  const size_t size = 100u * 1024 * 1024;
  Stream s;
  s.data = "<?xml version=\"1.0\"?>\n<root><s>";
  s.data.append(size, 'y');
  s.data += "</s></root>\n";
  velloran::resetMemoryPeak();
  ReadResult r = readStreamItems(formatTags(FORMAT_ITEMS), &s);
  ASSERT_TRUE(r.doneSeen);
  ASSERT_EQ(r.items.size(), 1u);
  EXPECT_EQ(r.items[0].value.bytes.size(), size);
  EXPECT_EQ(r.items[0].value.bytes.find_first_not_of('y'), std::string::npos);
  EXPECT_LT(velloran::memoryStats().peak, 3 * size);
}

} // namespace
