// The unknown-encoding handler: multi-byte documents give back the UTF-8
// they were made from, encodings Expat cannot take are refused, the
// encoding can be set by name, child parsers and the serializer's reader
// read these encodings, and running out of memory while building a map
// ends the parse with "out of memory" and leaks nothing.
#include <dlfcn.h>
#include <iconv.h>
#include <string.h>

#include "tests/encodings/converters.h"
#include "tests/lua_test.h"

namespace {

// Probes of encodings: the plugin's iconv calls come through here.
uint64_t iconvCalls;

} // namespace

extern "C" size_t iconv(iconv_t cd, char **in, size_t *inLeft, char **out, size_t *outLeft) {
  using IconvFunc = size_t (*)(iconv_t, char **, size_t *, char **, size_t *);
  static IconvFunc libraryIconv = reinterpret_cast<IconvFunc>(dlsym(RTLD_NEXT, "iconv"));
  iconvCalls++;
  return libraryIconv(cd, in, inLeft, out, outLeft);
}

namespace {

using Encodings = LuaTest;

// Converts the whole of `in` (in a stateless encoding); false when iconv
// refuses.
bool convert(iconv_t cd, const std::string &in, std::string *out) {
  char buffer[16];
  char *inAt = const_cast<char *>(in.data()), *outAt = buffer;
  size_t inLeft = in.size(), outLeft = sizeof buffer;
  if (iconv(cd, &inAt, &inLeft, &outAt, &outLeft) == static_cast<size_t>(-1))
    return false;
  out->assign(buffer, outAt);
  return true;
}

// A document in the encoding that holds every character of U+00A0..U+FFFD
// iconv converts to it (other than as an ASCII byte, which Shift_JIS reads
// as ASCII) and back unchanged, and what it must read as:
// "attribute|text" in UTF-8. Every 64th character is also in the attribute
// value (Expat scans an unfinished start tag again with every piece).
void encodableDocument(const char *encoding, std::string *doc, std::string *utf8) {
  iconv_t code = iconv_open("UTF-8", "WCHAR_T"), to = iconv_open(encoding, "UTF-8"),
          back = iconv_open("UTF-8", encoding);
  std::string text, encoded, sample, sampleEncoded;
  for (wchar_t c = 0xA0; c < 0xFFFE; c++) {
    std::string one, oneEncoded, again;
    if (!convert(code, std::string(reinterpret_cast<char *>(&c), sizeof c), &one) ||
        !convert(to, one, &oneEncoded) || !convert(back, oneEncoded, &again) || again != one ||
        static_cast<unsigned char>(oneEncoded[0]) < 0x80)
      continue;
    text += one;
    encoded += oneEncoded;
    if (text.size() % 64 < one.size()) {
      sample += one;
      sampleEncoded += oneEncoded;
    }
  }
  for (iconv_t cd : {code, to, back})
    iconv_close(cd);
  *doc = std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?><d a=\"" +
         sampleEncoded + "\">" + encoded + "</d>";
  *utf8 = sample + "|" + text;
}

TEST_F(Encodings, MultiByteDocumentsGiveBackTheirUtf8) {
  for (const char *name : {"Shift_JIS", "CP932", "EUC-JP", "EUC-KR", "CP949", "BIG5", "GBK",
                           "CP936", "EUC-TW", "sjis"}) {
    SCOPED_TRACE(name);
    if (skipWithoutConverter(name))
      continue;
    std::string doc, utf8;
    encodableDocument(name, &doc, &utf8);
    ASSERT_GT(utf8.size(), 20000u);
    lua_pushlstring(host.state(), doc.data(), doc.size());
    lua_setglobal(host.state(), "doc");
    lua_pushlstring(host.state(), utf8.data(), utf8.size());
    lua_setglobal(host.state(), "utf8");
    lua(R"lua(
      local got, attribute = {}
      local p = xml.CreateParser({characterdata = function(p, t) got[#got + 1] = t end,
        startelement = function(p, n, a) attribute = a.a end})
      for at = 1, #doc, 5 do
        eq(p:Parse(doc:sub(at, at + 4)), 1, p:GetError())
      end
      eq(p:Parse(), 1, p:GetError())
      assert(attribute .. "|" .. table.concat(got) == utf8, "the text differs")
    )lua");
  }
}

TEST_F(Encodings, WhatExpatCannotTakeIsAnUnknownEncoding) {
  lua(R"lua(
    for _, name in ipairs{"ISO-2022-JP", "ISO-2022-KR", "UTF-7", "GB18030", "no-such-thing",
                          "CP1251//IGNORE", "UCS-2", "UTF8"} do
      local p = xml.CreateParser({})
      p:SetEncoding(name)
      eq(p:Parse('<d/>'), 0, name) eq(p:GetError(), "unknown encoding", name)
      if not name:find("/") then -- (no encoding name of a declaration)
        eq(parseAll({}, '<?xml version="1.0" encoding="' .. name .. '"?><d/>'), 0, name)
        eq(main:GetError(), "unknown encoding", name)
      end
    end
  )lua");
}

// Names of one encoding share one map, idle maps are bounded, and a name
// refused is found out cheaply, once.
TEST_F(Encodings, NamesOfAnEncodingShareItsMap) {
  if (skipWithoutConverter("ISO-8859-2"))
    GTEST_SKIP();
  counter("iconvCalls", &iconvCalls);
  lua(R"lua(
    local function parse(name)
      local p = xml.CreateParser({})
      p:SetEncoding(name)
      local result = p:Parse("<d/>", 1)
      p:Free()
      return result
    end
    local function mapBytes() return velloran.memory().tags.encodingmap or 0 end
    for _, names in ipairs{{"latin2", "ISO-8859-2", "l+a+t+i+n+2"}, {"sjis", "Shift_JIS", "MS_KANJI"},
                           {"EUC-TW", "euctw", "osf0005000a"}, {"TIS-620", "windows-874"}} do
      eq(parse(names[1]), 1, names[1])
      local one = mapBytes()
      for i = 2, #names do eq(parse(names[i]), 1, names[i]) end
      assert(mapBytes() - one < 1024, names[1] .. " is held again")
    end
    for i = 1, 200 do parse("EUC-TW" .. ("+"):rep(i)) end
    assert(mapBytes() < 5 * 2 ^ 20, "maps held: " .. mapBytes())
    for _, name in ipairs{"UTF8+", "ISO-2022-JP", "UCS-2"} do
      iconvCalls()
      eq(parse(name), 0, name)
      assert(iconvCalls() < 5000, name .. " took long to refuse")
      eq(parse(name:lower() .. "+"), 0, name)
      eq(iconvCalls(), 0, name .. " explored again")
    end
  )lua");
}

// Labels read as their documents mean: Shift_JIS with ASCII's backslash and
// tilde, TIS-620 as windows-874; Big5 as glibc (and Windows) read it.
TEST_F(Encodings, LabelsReadAsDocumentsInTheWildMeanThem) {
  if (skipWithoutConverter("SHIFT_JIS") | skipWithoutConverter("TIS-620"))
    GTEST_SKIP();
  lua(R"lua(
    local thai = {"\128\133\145\146\147\148\149\150\151\160\161", "€…‘’“”•–—\194\160ก"}
    local rows = {
      Shift_JIS = {"\\~\130\160\129\96", "\\~あ〜"}, SJIS = {"a\\b~", "a\\b~"},
      MS_Kanji = {"\\", "\\"}, csShiftJIS = {"~", "~"}, CP932 = {"\\~", "\\~"},
      ["TIS-620"] = thai, ["ISO-8859-11"] = thai, ["windows-874"] = thai,
      Big5 = {"\161\69\161\227\162\65\162\71", "‧～∕￡"}}
    for label, row in pairs(rows) do
      local got = {}
      local p = xml.CreateParser({characterdata = function(p, text) got[#got + 1] = text end})
      eq(p:Parse('<?xml version="1.0" encoding="' .. label .. '"?><d>' .. row[1] .. '</d>', 1), 1, label)
      eq(table.concat(got), row[2], label)
    end
    for _, label in ipairs{"TIS-620", "ISO-8859-11"} do
      eq(parseAll({}, '<?xml version="1.0" encoding="' .. label .. '"?><d>\129</d>'), 0, label)
    end
  )lua");
}

// "\192\193" is "АБ" in windows-1251, "юа" in KOI8-R.
TEST_F(Encodings, SetEncodingChildParsersAndTheReader) {
  if (skipWithoutConverter("WINDOWS-1251") | skipWithoutConverter("KOI8-R"))
    return;
  lua(R"lua(
    local cb, log = eventRecorder{"characterdata", "startelement"}
    cb.externalentityref = function(p, child)
      return child:Parse('<?xml encoding="koi8-r"?>\192\193') == 1 and child:Parse() == 1 and 1 or 0
    end
    main = xml.CreateParser(cb)
    main:SetEncoding("WINDOWS-1251")
    eq(main:Parse('<!DOCTYPE d [<!ENTITY e SYSTEM "e">]><d a="\192">\193&e;</d>'), 1)
    eq(main:Parse(), 1)
    expectLog(log, 'startelement("d",{a="А"})\ncharacterdata("Б")\nchild characterdata("юа")')
    local doc = '<?xml version="1.0" encoding="cp1251"?><d>\192\193</d>'
    eq(velloran.DeserializeTable(doc, {format = "indexed"})[0].text, "АБ")
  )lua");
}

TEST_F(Encodings, RunningOutOfMemoryWhileBuildingAMapLeaksNothing) {
  if (skipWithoutConverter("EUC-JP"))
    return;
  static const velloran::Plugin *plugin = host.plugin();
  lua_register(host.state(), "closePlugin", [](lua_State *) {
    plugin->ClosePlugin();
    return 0;
  });
  lua(R"lua(
    local function parse()
      local p = xml.CreateParser({})
      local r = p:Parse('<?xml version="1.0" encoding="EUC-JP"?><d>\198\252</d>', 1)
      return p, r == 1 or p:GetError()
    end
    -- a map in use outlives the plugin's list of maps
    closePlugin()
    local before = liveBlocks()
    local p = parse()
    assert(liveBlocks() > before)
    closePlugin()
    eq(p:Parse(), 1)
    p:Free()
    eq(liveBlocks(), before)
    for n = 1, 1000 do
      failAllocMem(n)
      local p, result = parse()
      failAllocMem(0)
      p:Free()
      closePlugin()
      eq(liveBlocks(), before, "blocks after failure " .. n)
      if result == true then assert(n > 3, "too few allocations failed") break end
      eq(result, "out of memory")
    end
  )lua");
}

} // namespace
