// The event callbacks as scripts see them: every key's arguments (content
// models as nested tables), the results of "notstandalone" and
// "externalentityref", child parser objects and merged text across a child
// parse.
#include "tests/lua_test.h"

namespace {

using Events = LuaTest;

// Rows of {callback keys, document, separator, expected log, parameter-entity
// parsing, foreign DTD}, each named by `what`; external
// entities are parsed by the child objects with the texts of `entities`.
TEST_F(Events, DocumentEventsReachTheirCallbacksWithTheirArguments) {
  lua(R"lua(
    local subset = '<!ENTITY e "val"><!ENTITY x SYSTEM "e.xml" ><!ENTITY u SYSTEM "u.png" NDATA png>' ..
      '<!NOTATION png PUBLIC "png-id" "png.sys">' ..
      '<!ATTLIST a x CDATA #IMPLIED y CDATA #REQUIRED z (p|q) "p" w CDATA #FIXED "f">' ..
      '<!ENTITY % pe "pv">'
    local cdata = "<a>x<![CDATA[y]]>z<!--c-->w</a>"
    local rows = {
      {what = "document events; no external DTD without parameter entities",
       {"startelement", "endelement", "characterdata", "comment", "processinginstruction",
        "xmldecl", "skippedentity", "externalentityref"},
       '<?xml version="1.0" encoding="UTF-8" standalone="no"?><!DOCTYPE a SYSTEM "a.dtd">' ..
       '<a x="1" y="2"><b/>t<!--c--><?tgt?><?pi some data?>&e;</a>', nil, [[
xmldecl("1.0","UTF-8",0)
startelement("a",{x="1",y="2"})
startelement("b",{})
endelement("b")
characterdata("t")
comment("c")
processinginstruction("tgt","")
processinginstruction("pi","some data")
skippedentity("e",0)
endelement("a")]]},
      {what = "namespaces",
       {"startelement", "endelement", "startnamespacedecl", "endnamespacedecl", "xmldecl"},
       '<?xml version="1.0" standalone="yes"?>' ..
       '<r xmlns="urn:x" xmlns:p="urn:p"><p:e p:a="1" b="2"/></r>', "|x", [[
xmldecl("1.0",nil,1)
startnamespacedecl(nil,"urn:x")
startnamespacedecl("p","urn:p")
startelement("urn:x|r",{})
startelement("urn:p|e",{b="2",urn:p|a="1"})
endelement("urn:p|e")
endelement("urn:x|r")
endnamespacedecl("p")
endnamespacedecl(nil)]]},
      -- merged text ends only at the events that are registered
      {what = "text merged", {"characterdata"}, cdata, nil, 'characterdata("xyzw")'},
      {what = "text ended by CDATA sections and comments",
       {"characterdata", "startcdatasection", "endcdatasection", "comment"}, cdata, nil, [[
characterdata("x")
startcdatasection()
characterdata("y")
endcdatasection()
characterdata("z")
comment("c")
characterdata("w")]]},
      {what = "declarations",
       {"startdoctypedecl", "enddoctypedecl", "entitydecl", "notationdecl", "attlistdecl"},
       '<!DOCTYPE r SYSTEM "r.dtd" [' .. subset .. ']><r/>', nil, [[
startdoctypedecl("r","r.dtd",nil,1)
entitydecl("e",0,"val","B",nil,nil,nil)
entitydecl("x",0,nil,"B","e.xml",nil,nil)
entitydecl("u",0,nil,"B","u.png",nil,"png")
notationdecl("png","B","png.sys","png-id")
attlistdecl("a","x","CDATA",nil,0)
attlistdecl("a","y","CDATA",nil,1)
attlistdecl("a","z","(p|q)","p",0)
attlistdecl("a","w","CDATA","f",1)
entitydecl("pe",1,"pv","B",nil,nil,nil)
enddoctypedecl()]]},
      -- unparsed entities reach their own callback when "entitydecl" is absent
      {what = "a public DTD and no subset", {"unparsedentitydecl", "startdoctypedecl"},
       '<!DOCTYPE r PUBLIC "pub" "r.dtd"><!-- no subset --><r/>', nil,
       'startdoctypedecl("r","r.dtd","pub",0)'},
      {what = "unparsed entities", {"unparsedentitydecl", "startdoctypedecl"},
       '<!DOCTYPE r [<!ENTITY u SYSTEM "u.png" NDATA png>]><r/>', nil,
       'startdoctypedecl("r",nil,nil,1)\nunparsedentitydecl("u","B","u.png",nil,"png")'},
      {what = "content models: nested tables counted from zero",
       {"elementdecl"}, '<!DOCTYPE a [<!ELEMENT e EMPTY><!ELEMENT y ANY><!ELEMENT t (#PCDATA)>' ..
       '<!ELEMENT m (#PCDATA|b|c)*><!ELEMENT s (b,(c|d)+,e?)>]><a/>', nil, [[
elementdecl("e",1,0,nil)
elementdecl("y",2,0,nil)
elementdecl("t",3,0,nil)
elementdecl("m",3,2,{[0]={name="b",quantifier=0,type=4},[1]={name="c",quantifier=0,type=4}})
elementdecl("s",6,0,{[0]={name="b",quantifier=0,type=4},[1]={children={[0]={name="c",quantifier=0,type=4},[1]={name="d",quantifier=0,type=4}},quantifier=3,type=5},[2]={name="e",quantifier=1,type=4}})]]},
      {what = "external entities through child objects, text merged around them",
       {"startelement", "endelement", "characterdata", "xmldecl", "externalentityref"},
       '<!DOCTYPE a [<!ENTITY e SYSTEM "e.xml"><!ENTITY f PUBLIC "fp" "f.xml">]>' ..
       '<a>ab&e;ef</a>', nil, [[
startelement("a",{})
characterdata("ab")
externalentityref(obj,"B","e.xml",nil)
child xmldecl(nil,"UTF-8",-1)
child characterdata("x")
child startelement("b",{})
child externalentityref(obj,"B","f.xml","fp")
child characterdata("deep")
child endelement("b")
child characterdata("y")
characterdata("ef")
endelement("a")]]},
      -- with parameter-entity parsing, the external DTD through a child
      -- (after the internal subset), and a parameter entity through its own
      {what = "the external DTD",
       {"startelement", "characterdata", "entitydecl", "attlistdecl", "externalentityref"},
       '<!DOCTYPE a PUBLIC "dp" "a.dtd" [<!ENTITY i "I">]><a>&t;&c;&i;</a>', nil, [[
entitydecl("i",0,"I","B",nil,nil,nil)
externalentityref(obj,"B","a.dtd","dp")
child entitydecl("t",0,"T",nil,nil,nil,nil)
child entitydecl("p",1,nil,nil,"p.ent",nil,nil)
child externalentityref(obj,nil,"p.ent",nil)
child entitydecl("c",0,"C",nil,nil,nil,nil)
child attlistdecl("a","x","CDATA","d",0)
startelement("a",{x="d"})
characterdata("TCI")]], xml.XML_PARAM_ENTITY_PARSING_ALWAYS},
      {what = "a foreign DTD", {"characterdata", "externalentityref"}, '<a>&t;</a>', nil,
       'externalentityref(obj,"B",nil,nil)\ncharacterdata("T")', 2, true},
    }
    local entities = {["e.xml"] = '<?xml encoding="UTF-8"?>x<b>&f;</b>y', ["f.xml"] = "deep",
      ["a.dtd"] = '<!ENTITY t "T"><!ENTITY % p SYSTEM "p.ent">%p;<!ATTLIST a x CDATA "d">',
      ["p.ent"] = '<!ENTITY c "C">', foreign = '<!ENTITY t "T">'}
    local children = {}
    eachRow(rows, function(row)
      local cb, log = eventRecorder(row[1])
      local record = cb.externalentityref
      cb.externalentityref = record and function(p, child, base, systemId, publicId)
        record(p, child, base, systemId, publicId)
        children[#children + 1] = child
        assert(child:Parse(entities[systemId or "foreign"]) == 1 and child:Parse() == 1)
        return 1
      end
      local function setup(p) p:SetParamEntityParsing(row[5] or 0) p:UseForeignDTD(row[6] and 1 or 0) end
      expectEqual({parseAll(cb, row[2], row[3], nil, setup)}, {1, 1})
      expectLog(log, row[4])
    end)
    -- The children were closed on the way back from their callbacks.
    eq(#children, 5)
    for _, child in ipairs(children) do
      expectError("Parser is closed!", child.Parse, child, "<x/>")
      expectError("Parser is closed!", child.GetError, child)
    end
  )lua");
}

TEST_F(Events, DefaultDataIsExpandedOnlyThroughDefaultExpand) {
  lua(R"lua(
    -- Rows of {keys, the last three events}: with both keys,
    -- "defaultexpand" is the one called.
    for _, row in ipairs{
      {{"defaulthandler"},
       {'defaulthandler("<a>")', 'defaulthandler("&e;")', 'defaulthandler("</a>")'}},
      {{"defaulthandler", "defaultexpand"},
       {'defaultexpand("<a>")', 'defaultexpand("E")', 'defaultexpand("</a>")'}},
    } do
      local cb, log = eventRecorder(row[1])
      parseAll(cb, '<!DOCTYPE a [<!ENTITY e "E">]><a>&e;</a>')
      expectEqual({log[#log - 2], log[#log - 1], log[#log]}, row[2], show(row[1]))
    end
  )lua");
}

TEST_F(Events, DeepAndWideContentModelsConvertCompletely) {
  lua(R"lua(
    local depth = 20000
    local decl = "<!ELEMENT d " .. string.rep("(", depth) .. "x" .. string.rep(")*", depth) .. ">"
    local wide = {}
    for i = 1, 3000 do wide[i] = "w" .. i end
    decl = decl .. "<!ELEMENT w (" .. table.concat(wide, "|") .. ")>"
    local got = {}
    local cb = {elementdecl = function(_, name, _, _, children) got[name] = children end}
    expectEqual({parseAll(cb, "<!DOCTYPE a [" .. decl .. "]><a/>")}, {1, 1})

    local levels, node = 1, got.d[0]
    while node.children do
      assert(node.type == 6 and node.quantifier == 2 and node.name == nil, levels)
      assert(node.children[1] == nil)
      levels, node = levels + 1, node.children[0]
    end
    expectEqual(node, {type = 4, quantifier = 0, name = "x"})
    expectEqual(levels, depth)

    for i = 0, 2999 do assert(got.w[i].name == "w" .. (i + 1), i) end
    assert(got.w[3000] == nil)
  )lua");
}

TEST_F(Events, ContentModelsAreFreedWhenNoCallbackRuns) {
  // Run under the leak checker: a model that reaches no script is still freed.
  lua(R"lua(
    local doc = '<!DOCTYPE a [<!ENTITY e "v"><!ELEMENT a ((b,c)|d)+><!ELEMENT b (#PCDATA|c)*>]><a/>'
    expectEqual({parseAll({elementdecl = 0}, doc)}, {1, 1})
    local cb, log = eventRecorder{"elementdecl"}
    cb.entitydecl = function() error("stop here") end
    expectError("stop here", parseAll, cb, doc)
    expectLog(log, "")
  )lua");
}

// outcome(cb, doc): one Parse of doc in a protected call, with the
// callbacks cb and a recorder of start tags unless cb has its own; returns
// the call's two results, GetError's message and the start tags seen.
static const char *const OUTCOME = R"lua(
  function outcome(cb, doc, peMode)
    local seen = {}
    cb.startelement = cb.startelement or function(p, name) seen[#seen + 1] = name end
    local p = xml.CreateParser(cb)
    if peMode then p:SetParamEntityParsing(peMode) end
    local ok, result = pcall(p.Parse, p, doc)
    local message = (p:GetError())
    p:Free()
    return ok, result, message, table.concat(seen, ",")
  end
)lua";

TEST_F(Events, NotStandaloneResultDecidesWhetherParsingGoesOn) {
  lua(OUTCOME);
  lua(R"lua(
    local doc = '<!DOCTYPE a SYSTEM "a.dtd"><a/>'
    local refused = {true, 0, "document is not standalone", ""}
    local results = {{1}, {-3}, {2 ^ 40}, {"1"}, {0, refused}, {0.5, refused}, {-0.9, refused},
                     {"x", refused}, {false, refused}, {nil, refused}}
    for _, row in ipairs(results) do
      local cb = {notstandalone = function() return row[1] end}
      expectEqual({outcome(cb, doc)}, row[2] or {true, 1, nil, "a"}, "returning " .. show(row[1]))
    end
    -- Without a callback the document is accepted.
    expectEqual({outcome({notstandalone = 0}, doc)}, {true, 1, nil, "a"})
    local ok, message = outcome({notstandalone = function() error("refused loudly") end}, doc)
    assert(not ok and message:find("refused loudly", 1, true), message)
  )lua");
}

TEST_F(Events, ExternalEntityResultsAndFailures) {
  lua(OUTCOME);
  lua(R"lua(
    local doc = '<!DOCTYPE a [<!ENTITY e SYSTEM "e.xml">]><a>&e;<b/></a>'
    local function ref(f) return {externalentityref = f} end
    local function feed(p, child) child:Parse("<c/>"); child:Parse(); return 7 end
    expectEqual({outcome(ref(feed), doc)}, {true, 1, nil, "a,c,b"})
    -- Accepting without feeding the child leaves the entity empty.
    expectEqual({outcome(ref(function() return 1 end), doc)}, {true, 1, nil, "a,b"})
    local refused = "error in processing external entity reference"
    expectEqual({outcome(ref(function() return 0 end), doc)}, {true, 0, refused, "a"})
    expectEqual({outcome(ref(function() end), doc)}, {true, 0, refused, "a"})
    local ok, message, _, seen = outcome(ref(function() error("no such file") end), doc)
    expectEqual({ok, seen}, {false, "a"})
    assert(message:find("no such file", 1, true), message)

    -- A callback failing inside the child's parse: the child's Parse
    -- returns, the parent's raises, nothing else is called.
    local childResult
    ok, message = outcome({
      startelement = function(p, name) if name == "c" then error("bad c") end end,
      endelement = function() error("must not run") end,
      externalentityref = function(p, child) childResult = child:Parse("<c/>") return 1 end}, doc)
    assert(not ok and message:find("bad c", 1, true), message)
    eq(childResult, 1)

    -- The external DTD's child: Free of the running objects is refused; a
    -- DTD that refers to itself fails.
    local errors = {}
    expectEqual({outcome(ref(function(p, child)
      expectError("Invalid parser state!", p.Free, p)
      if child:Parse('<!ENTITY % self SYSTEM "a.dtd">%self;') + child:Parse() == 2 then return 1 end
      errors[#errors + 1] = child:GetError()
    end), '<!DOCTYPE a SYSTEM "a.dtd"><a/>', 2)}, {true, 0, refused, ""})
    eq(table.concat(errors, "|"), "recursive entity reference|" .. refused)
  )lua");
}

} // namespace
