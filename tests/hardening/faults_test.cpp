// Fault injection: Expat's allocator failing at every call of a set of
// parses with every callback present, and the serializer's reads cut
// short at every size and ended early at every byte. Every run ends with a
// clean result (or a clear error), keeps what it had, and leaves nothing
// allocated.
#include "tests/lua_test.h"
#include "tests/serializer/support.h"

namespace {

using namespace sertest;
using Faults = LuaTest;

// Every callback but the default ones records; external entities are
// parsed by the child.
TEST_F(Faults, EveryFailingExpatAllocationEndsTheParseCleanly) {
  lua(R"lua(
  KEYS = {"startcdatasection", "endcdatasection", "characterdata", "comment", "startelement",
    "endelement", "externalentityref", "startnamespacedecl", "endnamespacedecl", "notationdecl",
    "notstandalone", "processinginstruction", "unparsedentitydecl", "startdoctypedecl",
    "entitydecl", "attlistdecl", "elementdecl", "enddoctypedecl", "skippedentity", "xmldecl"}
  DOCS = {
    {what = "every event",
     '<?xml version="1.0" standalone="no"?><!DOCTYPE r [<!ELEMENT r (a|b)*>' ..
      '<!ELEMENT b (a,(a|b)+,a?)><!ATTLIST r x CDATA "d" y ID #IMPLIED>' ..
      '<!ENTITY e "v&#38;#38;w"><!NOTATION n SYSTEM "n"><!ENTITY u SYSTEM "u" NDATA n>' ..
      '<!ENTITY x SYSTEM "x.xml">]>' ..
      '<r xmlns:n="urn:n"><n:a n:y="1">t&e;&x;</n:a><![CDATA[c]]><!--k--><?p d?>' ..
      string.rep("<b>text</b>", 20) .. '</r>'},
    {what = "long texts",
     '<r>' .. string.rep('<e a="1" b="2" c="3">' .. string.rep("w", 300) .. '</e>', 30) .. '</r>'},
    {what = "an external DTD that reads a parameter entity",
     '<!DOCTYPE r SYSTEM "r.dtd" [<!ENTITY i "I">]><r a="&i;">&t;&i;&c;</r>'},
  }
  TEXTS = {["r.dtd"] = '<!ENTITY t "T"><!ENTITY % p SYSTEM "p.ent">%p;<!ATTLIST r d CDATA "v">',
           ["p.ent"] = '<!ENTITY c "C"><!ELEMENT r ANY>'}
  -- One parse: returns its log ending in the outcome.
  function parseOnce(doc, sep, merge, chunk)
    local cb, log = eventRecorder(KEYS)
    local record = cb.externalentityref
    cb.notstandalone = function() return 1 end
    cb.externalentityref = function(self, child, base, systemId, ...)
      record(self, child, base, systemId, ...)
      -- a child that fails fails the parent
      return child:Parse(TEXTS[systemId] or "<i>in</i>") == 1 and child:Parse() == 1 and 1 or 0
    end
    local ok, p = pcall(xml.CreateParser, cb, sep, merge)
    if not ok then
      assert(p:find("XML_ParserCreate failed!", 1, true), p)
      return table.concat(log, "|"), "create failed"
    end
    main = p
    p:SetParamEntityParsing(xml.XML_PARAM_ENTITY_PARSING_ALWAYS)
    local outcome = "ok"
    for at = 1, #doc, chunk do
      local ok, r = pcall(p.Parse, p, doc:sub(at, at + chunk - 1))
      if not ok then
        assert(r:find("XML_ParserCreate failed!", 1, true), r)
        outcome = "child failed"
        break
      elseif r == 0 then
        -- Expat's own report: "out of memory" mostly, but also what a
        -- failed allocation makes of the document ("unbound prefix" when a
        -- namespace binding was lost, a failed external entity)
        outcome = p:GetError()
        assert(type(outcome) == "string", "Parse returned 0 without an error")
        break
      end
    end
    if outcome == "ok" and p:Parse() == 0 then outcome = p:GetError() end
    p:Free()
    return table.concat(log, "|"), outcome
  end

    local outcomes = {}
    eachRow(DOCS, function(row)
      local doc = row[1]
      for _, sep in ipairs{false, "|"} do
        for _, merge in ipairs{0, 1} do
          local chunk = merge == 1 and 7 or #doc
          local mode = ("separator %s, merge %d"):format(tostring(sep), merge)
          local whole, outcome = parseOnce(doc, sep or nil, merge, chunk)
          eq(outcome, "ok", mode)
          for n = 1, 100000 do
            failMalloc(n)
            local log, result = parseOnce(doc, sep or nil, merge, chunk)
            failMalloc(0)
            if result == "ok" then
              eq(log, whole, mode .. ": a parse that ends well reports every event")
              break
            end
            outcomes[result] = (outcomes[result] or 0) + 1
            -- what came before the failure is what the whole parse reported
            -- (the last event may be cut, or carry what Expat could not
            -- store: a declared entity's value comes as nil then)
            local before = log:match("^(.*)|[^|]*$") or ""
            eq(whole:sub(1, #before), before, mode .. ": events before allocation " .. n)
          end
        end
      end
    end)
    local childFailed = outcomes["error in processing external entity reference"]
    assert(outcomes["out of memory"] > 100 and outcomes["create failed"] >= 8 and
           outcomes["child failed"] >= 1 and childFailed >= 1)
  )lua");
}

// Short reads of every size, and input that ends early at every byte: the
// items that come out are those of the whole stream, or a failure is
// reported; never a shorter "done".
TEST(SerializerReads, ShortReadsOfEverySizeAndEveryEarlyEnd) {
  const std::string items =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<root>\n\t<a>1</a>\n\t<t>\n"
      "\t\t<item.1 type=\"string\">x &amp; y</item.1>\n\t\t<b type=\"binary\">AAEC</b>\n"
      "\t</t>\n\t<s>caf\xc3\xa9</s>\n</root>\n";
  const std::string document =
      "<?xml version=\"1.0\"?>\n<d a=\"1\" b=\"&lt;\">hi<c x=\"y\">t</c>there<e/></d>\n";
  for (int format : {FORMAT_ITEMS, FORMAT_NAMED, FORMAT_INDEXED}) {
    const std::string &text = format == FORMAT_ITEMS ? items : document;
    auto tags = formatTags(format);
    size_t before = liveBlocks();
    ReadResult whole = readItems(tags, text);
    ASSERT_TRUE(whole.doneSeen);
    ASSERT_GT(whole.items.size(), 5u);
    for (int32_t chunk = 1; chunk <= static_cast<int32_t>(text.size()); chunk++)
      EXPECT_EQ(readItems(tags, text, chunk).items, whole.items) << "read size " << chunk;
    // The root's end tag ends the data: only bytes after it may be missing.
    // In the document formats, an input that ends before the first element
    // (not inside the declaration) is the empty table.
    size_t complete = text.rfind('>') + 1;
    size_t declared = text.find("?>") + 2, first = text.find("<d");
    for (size_t end = 0; end < text.size(); end++) {
      SCOPED_TRACE("format " + std::to_string(format) + ", input ends at " + std::to_string(end));
      bool empty = format != FORMAT_ITEMS && (end == 0 || (end >= declared && end <= first));
      for (int32_t chunk : {1, 5, 16384}) {
        ReadResult r = readItems(tags, text.substr(0, end), chunk);
        EXPECT_EQ(r.doneSeen, end >= complete || empty);
        EXPECT_TRUE(r.bad.empty()) << r.bad;
        if (r.doneSeen && !empty) {
          EXPECT_EQ(r.items, whole.items);
        }
        ASSERT_LE(r.items.size(), whole.items.size());
        EXPECT_TRUE(std::equal(r.items.begin(), r.items.end(), whole.items.begin()));
      }
    }
    EXPECT_EQ(liveBlocks(), before);
  }
}

} // namespace
