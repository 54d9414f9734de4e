// Runs rows of method calls on parser objects; used by the parser tests.
#ifndef VELLORAN_TESTS_PARSER_STEPS_H
#define VELLORAN_TESTS_PARSER_STEPS_H

// Rows of steps on one new parser, each {want, method, arguments...}: a
// table want is every result, E(text) an error holding text, any other want
// the first result as text. "texts" is the character data delivered since
// the last look; a row with `stop` stops the parser at its first text, a
// row with `cb` has those callbacks instead.
static const char *const STEPS = R"(
  function E(text) return {error = text} end
  function runSteps(row, r)
    local texts, p = {}
    p = xml.CreateParser(row.cb or {characterdata = function(self, s)
      texts[#texts + 1] = s
      if row.stop then
        assert(rawequal(self, p))
        texts[#texts + 1] = table.concat({self:GetPosition()}, ",") .. tostring(self:GetError())
        eq(self:Stop(), 1)
      end
    end}, nil, row.merge)
    for i, step in ipairs(row) do
      local want, name, got = step[1], step[2]
      if name == "texts" then
        got, texts = table.concat(texts, "|"), {}
      elseif type(want) == "table" and want.error then
        got = {error = expectError(want.error, p[name], p, unpack(step, 3)) and want.error}
      else
        got = {p[name](p, unpack(step, 3))}
        if type(want) ~= "table" then got, want = tostring(got[1]), tostring(want) end
      end
      if show(got) ~= show(want) then
        error(("row %d step %d: got %s, want %s"):format(r, i, show(got), show(want)))
      end
    end
  end
)";

#endif
