// The options of the table functions as the host offers them: the encoding
// option names the XML's encoding only, names are kept as they are unless
// folding is asked for, and a root name is refused rather than cut.
#include "tests/lua_test.h"
#include "velloran/services.h"

namespace {

using Options = LuaTest;

TEST_F(Options, StringsComeBackInTheHostsEncodingWhateverTheXmlsEncoding) {
  for (int host_encoding : {ENCODING_UTF8, ENCODING_ISO_8859_1}) {
    velloran::setHostEncoding(host_encoding);
    lua(std::string("local e = ") + (host_encoding == ENCODING_UTF8 ? "'\\195\\169'" : "'\\233'") +
        R"(
      local t = {s = "caf" .. e, list = {e .. e}}
      for _, o in ipairs{{}, {encoding = "utf-8"}, {encoding = "iso-8859-1"}} do
        local text = velloran.SerializeTable(t, o)
        for _, back in ipairs{velloran.DeserializeTable(text, o), velloran.DeserializeTable(text)} do
          eq(back.s, t.s, o.encoding) eq(back.list[1], e .. e)
        end
      end
    )");
  }
  velloran::setHostEncoding(ENCODING_UTF8);
}

TEST_F(Options, NamesKeepTheirCaseUnlessFoldingIsAsked) {
  lua(R"(
    local back = velloran.DeserializeTable(velloran.SerializeTable({A = 1, a = 2, Name = {x = 3}}))
    eq(back.A, 1) eq(back.a, 2) eq(back.Name.x, 3)
    local doc = velloran.DeserializeTable("<Doc/>", {format = "indexed"})
    eq(doc[0].name, "Doc")
    eq(velloran.DeserializeTable("<Doc/>", {format = "indexed", rawnames = false})[0].name, "doc")
  )");
}

TEST_F(Options, RootNamesThatDoNotFitAreRefusedWhole) {
  lua(R"(
    local fits = ("\195\169"):rep(127) .. "a"   -- 255 bytes
    local text = velloran.SerializeTable({x = 1}, {rootnode = fits})
    eq(velloran.DeserializeTable(text, {rootnode = fits}).x, 1)
    expectError("256 bytes; a root name holds at most 255",
                velloran.SerializeTable, {}, {rootnode = ("\195\169"):rep(128)})
  )");
}

} // namespace
