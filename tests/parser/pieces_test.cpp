// A text goes to Expat in pieces: texts of any length, split character
// data only where merging is off, tokens longer than a piece.
#include <dlfcn.h>

#include <expat.h>

#include "parser/positions.h"
#include "tests/lua_test.h"
#include "velloran/services.h"

namespace {

using Pieces = LuaTest;

// Parser objects take the host's piece size at creation: 7 bytes here.
TEST_F(Pieces, TextAcrossPiecesArrivesWholeOrSplitAtTheirBoundaries) {
  velloran::setParsePiece(7);
  lua(R"lua(
    local value = string.rep("v", 100)
    local doc = '<d>0123456789abcdefghij<e a="' .. value .. '"><!--' .. value .. '--></e></d>'
    for merge, texts in pairs({[0] = "0123|456789a|bcdefgh|ij", [1] = "0123456789abcdefghij"}) do
      local got, attribute, comment = {}
      local p = xml.CreateParser({
        startelement = function(p, name, attrs) attribute = attrs.a end,
        comment = function(p, text) comment = text end,
        characterdata = function(p, text) got[#got + 1] = text end}, nil, merge)
      eq(p:Parse(doc), 1)
      eq(p:Parse(), 1)
      eq(table.concat(got, "|"), texts, "merge " .. merge)
      eq(attribute, value)
      eq(comment, value)
    end
  )lua");
  velloran::setParsePiece(0);
}

// What Expat scans: each XML_Parse of the plugin's comes through here and
// counts its bytes and the open token that Expat scans again before them.
uint64_t scannedBytes;

} // namespace

#if EXPAT_SHARED
extern "C" XML_Status XML_Parse(XML_Parser parser, const char *s, int len, int isFinal) {
  using ParseFunc = XML_Status (*)(XML_Parser, const char *, int, int);
  static ParseFunc expatParse = reinterpret_cast<ParseFunc>(dlsym(RTLD_NEXT, "XML_Parse"));
  int offset = 0, size = 0;
  if (expatInputContext(parser, &offset, &size))
    scannedBytes += static_cast<uint64_t>(size - offset);
  scannedBytes += static_cast<uint64_t>(len);
  return expatParse(parser, s, len, isFinal);
}
#endif

namespace {

// Long tokens cut into 1 KB texts: Expat scans each byte a few times only,
// and events, errors and positions are those of one whole Parse.
TEST_F(Pieces, LongTokensInSmallTextsAreScannedAboutOnce) {
  if (!EXPAT_SHARED)
    GTEST_SKIP() << "SKIP: Expat is linked statically, so its XML_Parse cannot be counted";
  counter("scanned", &scannedBytes);
  lua(R"lua(
    local v = string.rep("v", 1024 * 1024)
    for _, doc in ipairs{'<d a="' .. v .. '"/>', '<d><!--' .. v .. '--></d>', '<!--' .. v .. '--><d/>',
                         '<d><?pi ' .. v .. '?></d>', '<d a="' .. v .. '" b="<"/>'} do
      local function run(piece)
        local cb, log = eventRecorder{"startelement", "comment", "processinginstruction", "endelement"}
        local p = xml.CreateParser(cb)
        scanned()
        for at = 1, #doc, piece do p:Parse(doc:sub(at, at + piece - 1)) end
        p:Parse()
        log[#log + 1] = show{p:GetError()}
        return table.concat(log, "\n"), scanned()
      end
      local whole = run(#doc)
      local pieces, bytes = run(1024)
      assert(pieces == whole, "events differ: " .. doc:sub(-12))
      assert(bytes < 4 * #doc, "scanned " .. bytes .. " for " .. #doc .. ": " .. doc:sub(-12))
    end
  )lua");
}

} // namespace
