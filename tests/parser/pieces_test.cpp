// A text goes to Expat in pieces: texts of any length, split character
// data only where merging is off, tokens longer than a piece.
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

} // namespace
