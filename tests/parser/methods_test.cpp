// xml.CreateParser and the methods of parser objects: states, results,
// positions and errors, also when callbacks fail or are not functions.
// Wrong arguments: tests/hardening/hostile_test.cpp.
#include "tests/lua_test.h"

namespace {

// Rows of steps on one new parser, named by `what`, each step {want,
// method, arguments...}: a table want is every result, E(text) an error
// holding text, any other want the first result as text. "texts" is the
// character data delivered since the last look; a row with `stop` stops the
// parser at its first text, a row with `cb` has those callbacks instead.
const char *const STEPS = R"(
  function E(text) return {error = text} end
  function runSteps(row)
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
        error(("step %d (%s): got %s, want %s"):format(i, name, show(got), show(want)))
      end
    end
  end
)";

using Methods = LuaTest;

TEST_F(Methods, StatesResultsPositionsErrorsAndCallbackFailures) {
  lua(STEPS);
  lua(R"(
    local lines = string.rep("\n", 1000000)
    local rows = {
      {what = "new", {{1, 1, 0}, "GetPosition"}, {{nil, 1, 1, 0}, "GetError"}, {"nil", "GetBase"},
       {{}, "SetBase", "http://example.org/dir/"}, {"http://example.org/dir/", "GetBase"}},
      {what = "finished: later text refused, the error state kept, a second final chunk an error",
       {1, "Parse", "<a>x</a>", "ignored", 42}, {1, "Parse"}, {"x", "texts"},
       {0, "Parse", "<b>y</b>"}, {"", "texts"}, {"nil", "GetError"},
       {0, "Parse"}, {"parsing finished", "GetError"}},
      {what = "an error kept", {0, "Parse", "<doc>\n  &undefined;</doc>"},
       {{"undefined entity", 2, 3, 9}, "GetError"}, {0, "Parse", "<more/>"}},
      {what = "lines beyond a million", {1, "Parse", "<a>"}, {1, "Parse", lines},
       {1, "Parse", lines}, {1, "Parse", lines}, {1, "Parse", lines}, {1, "Parse", lines},
       {0, "Parse", "&bad;"}, {{"undefined entity", 5000001, 1, 5000004}, "GetError"}},
      {what = "Latin-1 e-acute arrives as UTF-8", {{}, "SetEncoding", "ISO-8859-1"},
       {1, "Parse", "<a>\233</a>"}, {"\195\169", "texts"},
       {E"Invalid parser state!", "SetEncoding", "UTF-8"}},
      {what = "an empty chunk is a parse step", {1, "Parse", ""},
       {E"Invalid parser state!", "SetEncoding", "UTF-8"}},
      {what = "parameter entities and a foreign DTD: known modes, before the first step only",
       {1, "SetParamEntityParsing", 2}, {0, "SetParamEntityParsing", 3},
       {0, "SetParamEntityParsing", 0.5}, {{}, "UseForeignDTD"}, {{}, "UseForeignDTD", 0},
       {"nil", "GetInputContext"}, {1, "Parse", "<a/>"}, {"nil", "GetInputContext"},
       {E"Invalid parser state!", "SetParamEntityParsing", 0},
       {E"Invalid parser state!", "UseForeignDTD", 1}},
      {what = "stopped from its callback, reporting where it is", stop = true, merge = 0,
       {0, "Parse", "<a>one<b/>two</a>"}, {"parsing aborted", "GetError"},
       {"one|1,4,4nil", "texts"}},
      {what = "stopped before the first chunk", {1, "Stop"}, {0, "Parse", "<a/>"}, {0, "Parse"},
       {"parsing finished", "GetError"}, {0, "Stop"}},
      {what = "Free delivers the text cut at a chunk end, then closes; again does nothing",
       {1, "Parse", "<a>first"}, {"first", "texts"}, {1, "Parse", " second"}, {{}, "Free"},
       {" second", "texts"}, {{}, "Free"}, {E"Parser is closed!", "GetPosition"}},
      {what = "Free when not well-formed at the end", {1, "Parse", "<open>"}, {{}, "Free"}},
      {what = "Free when never used", {{}, "Free"}},
      {what = "Free of a finished parser calls nothing", {1, "Parse", "<a>t</a>"}, {1, "Parse"},
       {"t", "texts"}, {{}, "Free"}, {"", "texts"}},
    }
    -- keys that are not callbacks pass with _nonstrict; the merge argument
    -- is truncated toward zero
    rows[#rows + 1] = {what = "_nonstrict", cb = {bogus = 1, _nonstrict = 0}, {1, "Parse", "<a/>"}}
    local merged, split = "one&two", "one|&|two"
    for _, case in ipairs{{nil, merged}, {1, merged}, {-1, merged}, {0, split}, {0.5, split},
                          {1e300, merged}} do
      rows[#rows + 1] = {what = "merge " .. show(case[1]), merge = case[1],
                         {1, "Parse", "<a>one&amp;two</a>"}, {case[2], "texts"}}
    end
    -- A callback's error comes out when XML_Parse returns, also at the end
    -- of a chunk; Free runs the final step, where an error comes out of Free
    -- and the object stays open until a later Free. (Expat holds a CR back
    -- until it sees what follows.)
    rows[#rows + 1] = {what = "a callback's error in Parse",
                       cb = {characterdata = function() error("flush failed") end},
                       {E"flush failed", "Parse", "<a>text"}}
    local function failsAtTheEnd(_, s) if s == "\n" then error("at the end") end end
    rows[#rows + 1] = {what = "a callback's error in Free", cb = {characterdata = failsAtTheEnd},
                       {1, "Parse", "<a>x\r"}, {E"at the end", "Free"}, {1, "GetPosition"},
                       {{}, "Free"}, {E"Parser is closed!", "GetPosition"}}
    -- Callbacks that are not functions are switched off (0 as number or
    -- text) or an error that leaves the object sound.
    for _, off in ipairs{0, "0", "0.0"} do
      rows[#rows + 1] = {what = "switched off by " .. show(off), cb = {characterdata = off},
                         {1, "Parse", "<a>x</a>"}}
    end
    for _, bad in ipairs{{}, 1, "yes", true} do
      rows[#rows + 1] = {what = "a callback " .. show(bad), cb = {characterdata = bad},
                         {E'XML callback "characterdata" is not a function!', "Parse", "<a>x</a>"},
                         {1, "GetPosition"}, {{}, "Free"}}
    end
    -- Each event's own text of the document (the end of an empty element
    -- has none); a child's events have the entity's text.
    local contexts = {}
    local function keep(self, child)
      contexts[#contexts + 1] = self:GetInputContext()
      if type(child) == "userdata" then return child:Parse("<i>in</i>") + child:Parse() end
    end
    rows[#rows + 1] = {what = "input contexts", merge = 0, cb = {startelement = keep,
      endelement = keep, characterdata = keep, comment = keep, externalentityref = keep},
      {1, "Parse", '<!DOCTYPE a [<!ENTITY e SYSTEM "e">' ..
      '<!ENTITY t "T">]><a x="1">t&amp;<!--c--><b/>&e;&t;</a>'}}
    eachRow(rows, runSteps)
    eq(table.concat(contexts, "|"), '<a x="1">|t|&amp;|<!--c-->|<b/>||&e;|<i>|in|</i>|&t;|</a>')

    -- collecting an unfinished parser calls nothing
    local called
    runSteps({cb = {characterdata = function() called = true end},
              {1, "Parse", "<a>pending text"}})
    called = false
    collectgarbage() collectgarbage()
    eq(called, false)

    -- Expat without memory for its copy of the encoding's name
    local p = xml.CreateParser({})
    failMalloc(1)
    expectError("out of memory", p.SetEncoding, p, "ISO-8859-1")
    failMalloc(0)
  )");
}

using CreateParser = LuaTest;

TEST_F(CreateParser, HandlersAreRegisteredForTheKeysPresentAtCreation) {
  lua(R"(
    local got = {}
    local cb = {characterdata = 0}
    local p, q = xml.CreateParser(cb), xml.CreateParser({})
    assert(rawequal(p:GetCallbacks(), cb))
    eq(p:Parse("<a>off</a>"), 1)
    cb.characterdata = function(self, s) got[#got + 1] = s end
    q:GetCallbacks().characterdata = cb.characterdata
    eq(xml.CreateParser(cb):Parse("<b>more</b>"), 1)
    eq(q:Parse("<a>never</a>"), 1)
    eq(table.concat(got), "more")
  )");
}

} // namespace
