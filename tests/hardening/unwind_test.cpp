// Errors of the script engine inside an Expat handler (a lookup that
// raises, memory running out, an event command replaced by the script)
// never unwind through Expat: Parse raises them once Expat has returned,
// and the object stays sound.
#include "tests/lua_test.h"

namespace {

using Unwind = LuaTest;

// A callback table whose lookups run script code: once `armed` is set every
// lookup raises inside the handler, outside any callback.
static const char *const RAISING_TABLE = R"(
  function raisingTable(keys)
    return setmetatable({}, {__index = function(_, k)
      if armed then error("index failed: " .. k) end
      return keys[k]
    end})
  end
)";

TEST_F(Unwind, ErrorsInHandlersComeOutOfParseAndTheObjectParsesOn) {
  lua(RAISING_TABLE);
  lua(R"(
    for _, merge in ipairs{0, 1} do
      local texts = {}
      local p = xml.CreateParser(raisingTable({characterdata = function(_, s) texts[#texts + 1] = s end}),
                                 nil, merge)
      armed = true
      expectError("index failed: characterdata", p.Parse, p, "<r><a>" .. string.rep("x", 5000) .. "</a>")
      armed = false
      eq(p:GetError(), nil)
      eq(p:Parse("tail</r>") + p:Parse(), 2)
      eq(table.concat(texts), "tail")
      p:Free()
    end
    -- the merged text's memory running out
    local before = liveBlocks()
    local p = xml.CreateParser({characterdata = function() end})
    failAllocMem(1)
    expectError("not enough memory", p.Parse, p, "<r>text</r>")
    failAllocMem(0)
    eq(p:GetError(), nil)
    p:Free()
    eq(liveBlocks(), before)
    -- an event command that is not the plugin's loses no event silently
    p = xml.CreateParser({startelement = function() end})
    local meta = getmetatable(p)
    local command = meta.__gc
    meta.__gc = function() end
    expectError("Invalid parser state!", p.Parse, p, "<r/>")
    meta.__gc = command
    p:Free()
  )");
}

// A child object's step: the error goes to the parent, whose Parse raises
// it; the child's Parse returns. Rows of {document, the child's text}: an
// external entity, and an external DTD.
TEST_F(Unwind, ErrorInAChildStepComesOutOfTheParentsParse) {
  lua(RAISING_TABLE);
  lua(R"(
    for i = 0, 3 do
      local merge, row = i % 2, ({
        {'<!DOCTYPE r [<!ENTITY e SYSTEM "e.xml">]><r>before&e;after</r>', "<i>inner</i>"},
        {'<!DOCTYPE r SYSTEM "r.dtd"><r>before</r>', "<?pi in the DTD?>"}})[i < 2 and 1 or 2]
      local p = xml.CreateParser(raisingTable({
        characterdata = function() end,
        startelement = function() end,
        processinginstruction = function() end,
        externalentityref = function(self, child)
          armed = true
          eq(child:Parse(row[2]), 1)
          armed = false
          return 1
        end}), nil, merge)
      eq(p:SetParamEntityParsing(xml.XML_PARAM_ENTITY_PARSING_ALWAYS), 1)
      expectError("index failed", p.Parse, p, row[1])
      eq(p:GetError(), nil)
      p:Free()
    end
  )");
}

} // namespace
