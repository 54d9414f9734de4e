// Errors of the script engine itself inside an Expat handler: they unwind
// through Expat, and the parser object that was parsing must refuse
// everything but Free and the collector afterwards, without touching the
// half-run Expat parser or the frame of the step that is gone.
#include "tests/lua_test.h"

namespace {

using Unwind = LuaTest;

// A callback table whose lookups run script code: the handler for
// "characterdata" is registered at creation, and once `armed` is set every
// lookup raises inside the handler, outside any protected call of a callback.
static const char *const RAISING_TABLE = R"(
  function raisingTable(keys)
    return setmetatable({}, {__index = function(_, k)
      if armed then error("index failed: " .. k) end
      return keys[k]
    end})
  end
)";

TEST_F(Unwind, BrokenStepLeavesOnlyFree) {
  lua(RAISING_TABLE);
  lua(R"(
    for _, merge in ipairs{0, 1} do
      local p = xml.CreateParser(raisingTable({characterdata = function() end}), nil, merge)
      armed = true
      -- a text that nothing else refers to, so that the collector may free it
      expectError("index failed: characterdata", p.Parse, p, "<a>" .. string.rep("x", 5000) .. "</a>")
      armed = false
      collectgarbage()
      for _, call in ipairs{{"GetPosition"}, {"GetError"}, {"Stop"}, {"GetBase"},
                            {"GetCallbacks"}, {"Parse", "<b/>"}, {"Parse"}, {"SetBase", "base"},
                            {"SetEncoding", "UTF-8"}, {"SetParamEntityParsing", 1},
                            {"UseForeignDTD"}, {"GetInputContext"}} do
        expectError("Invalid parser state!", p[call[1]], p, call[2])
      end
      p:Free() -- closes without parsing
      expectError("Parser is closed!", p.GetPosition, p)
    end
  )");
}

TEST_F(Unwind, BrokenObjectLeftToTheCollector) {
  lua(RAISING_TABLE);
  lua(R"(
    do
      local p = xml.CreateParser(raisingTable({characterdata = function() end}))
      armed = true
      expectError("index failed", p.Parse, p, "<a>text</a>")
    end
    collectgarbage() collectgarbage()
  )");
}

// A child object's step broken off inside the parent's callback: the
// parent's record, through which the child's events went, is put back, and
// the parent parses on. Rows of {document, the child's text}: an external
// entity, and an external DTD.
TEST_F(Unwind, BrokenChildStepLeavesTheParentSound) {
  lua(RAISING_TABLE);
  lua(R"(
    for i = 0, 3 do
      local merge, row = i % 2, ({
        {'<!DOCTYPE r [<!ENTITY e SYSTEM "e.xml">]><r>before&e;after<b/>end</r>', "<i>inner</i>"},
        {'<!DOCTYPE r SYSTEM "r.dtd"><r>before<b/>after<b/>end</r>', "<?pi in the DTD?>"}})[i < 2 and 1 or 2]
      local texts = {}
      local p = xml.CreateParser(raisingTable({
        characterdata = function(self, s) texts[#texts + 1] = s end,
        startelement = function() end,
        processinginstruction = function() end,
        externalentityref = function(self, child)
          armed = true
          local ok, err = pcall(child.Parse, child, row[2])
          armed = false
          assert(not ok and err:find("index failed", 1, true), tostring(err))
          expectError("Invalid parser state!", child.GetPosition, child)
          return 1
        end}), nil, merge)
      eq(p:SetParamEntityParsing(xml.XML_PARAM_ENTITY_PARSING_ALWAYS), 1)
      eq(p:Parse(row[1]), 1)
      eq(p:Parse(), 1)
      eq(table.concat(texts, "|"), "before|after|end")
      p:Free()
    end
  )");
}

} // namespace
