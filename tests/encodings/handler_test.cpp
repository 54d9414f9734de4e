// The unknown-encoding handler: multi-byte documents give back the UTF-8
// they were made from, encodings Expat cannot take are refused, the
// encoding can be set by name, child parsers and the serializer's reader
// read these encodings, and running out of memory while building a map
// ends the parse with "out of memory" and leaks nothing.
#include <iconv.h>
#include <string.h>

#include "tests/lua_test.h"

namespace {

using Encodings = LuaTest;

// Every character of U+00A0..U+FFFF that iconv converts to the encoding and
// back unchanged, as UTF-8 and as the encoding; every 64th of them also in
// sample (UTF-8, encoded), for an attribute value (Expat scans an
// unfinished start tag again with every piece).
struct Text {
  std::string utf8, encoded, sampleUtf8, sampleEncoded;
};
void encodableText(const char *encoding, Text *text) {
  iconv_t to = iconv_open(encoding, "UTF-8"), back = iconv_open("UTF-8", encoding);
  ASSERT_NE(to, reinterpret_cast<iconv_t>(-1));
  for (unsigned c = 0xA0; c < 0xFFFE; c++) {
    if (c >= 0xD800 && c < 0xE000)
      continue;
    char in[4] = {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                  static_cast<char>(0x80 | (c & 0x3F))};
    size_t inLength = c < 0x800 ? 2 : 3;
    if (c < 0x800) {
      in[0] = static_cast<char>(0xC0 | c >> 6);
      in[1] = static_cast<char>(0x80 | (c & 0x3F));
    }
    char out[8], again[8];
    char *inAt = in, *outAt = out, *againAt = again;
    size_t inLeft = inLength, outLeft = sizeof out, againLeft = sizeof again;
    iconv(to, nullptr, nullptr, nullptr, nullptr);
    if (iconv(to, &inAt, &inLeft, &outAt, &outLeft) == static_cast<size_t>(-1))
      continue;
    char *encodedAt = out;
    size_t encodedLeft = sizeof out - outLeft;
    if (iconv(back, &encodedAt, &encodedLeft, &againAt, &againLeft) == static_cast<size_t>(-1) ||
        std::string(again, sizeof again - againLeft) != std::string(in, inLength))
      continue;
    text->utf8.append(in, inLength);
    text->encoded.append(out, sizeof out - outLeft);
    if (text->utf8.size() % 64 < inLength) {
      text->sampleUtf8.append(in, inLength);
      text->sampleEncoded.append(out, sizeof out - outLeft);
    }
  }
  iconv_close(to);
  iconv_close(back);
}

TEST_F(Encodings, MultiByteDocumentsGiveBackTheirUtf8) {
  lua(R"lua(
    function readBack(name, text, sample)
      local got = {}
      local p = xml.CreateParser({characterdata = function(p, t) got[#got + 1] = t end,
        startelement = function(p, n, a) attribute = a.a end})
      local doc = '<?xml version="1.0" encoding="' .. name .. '"?><d a="' .. sample .. '">' ..
                  text .. '</d>'
      for at = 1, #doc, 5 do
        if p:Parse(doc:sub(at, at + 4)) ~= 1 then break end
      end
      local ok = p:Parse() == 1 or p:GetError()
      p:Free()
      return ok, table.concat(got), attribute
    end
  )lua");
  for (const char *name : {"Shift_JIS", "CP932", "EUC-JP", "EUC-KR", "CP949", "BIG5", "GBK",
                           "CP936", "EUC-TW", "sjis"}) {
    Text text;
    encodableText(name, &text);
    ASSERT_GT(text.encoded.size(), 10000u) << name;
    lua_State *L = host.state();
    const std::pair<const char *, const std::string *> globals[] = {
        {"text", &text.encoded},
        {"utf8", &text.utf8},
        {"sample", &text.sampleEncoded},
        {"sampleUtf8", &text.sampleUtf8}};
    for (const auto &global : globals) {
      lua_pushlstring(L, global.second->data(), global.second->size());
      lua_setglobal(L, global.first);
    }
    lua_pushstring(L, name);
    lua_setglobal(L, "name");
    lua(R"lua(
      local ok, got, attribute = readBack(name, text, sample)
      eq(ok, true, name)
      assert(got == utf8 and attribute == sampleUtf8, name .. ": the text differs")
    )lua");
  }
}

TEST_F(Encodings, WhatExpatCannotTakeIsAnUnknownEncoding) {
  lua(R"lua(
    for _, name in ipairs{"ISO-2022-JP", "ISO-2022-KR", "UTF-7", "GB18030", "no-such-thing",
                          "CP1251//IGNORE", "UCS-2", "UTF8"} do
      local p = xml.CreateParser({})
      if not name:find("/") then -- (no encoding name of a declaration)
        eq(p:Parse('<?xml version="1.0" encoding="' .. name .. '"?><d/>'), 0, name)
        eq(p:GetError(), "unknown encoding", name)
      end
      p:Free()
      p = xml.CreateParser({})
      p:SetEncoding(name)
      eq(p:Parse('<d/>'), 0, name)
      eq(p:GetError(), "unknown encoding", name)
      p:Free()
    end
  )lua");
}

// "\192\193" is "АБ" in windows-1251, "юа" in KOI8-R.
TEST_F(Encodings, SetEncodingChildParsersAndTheReader) {
  lua(R"lua(
    local cb, log = eventRecorder{"characterdata", "startelement"}
    cb.externalentityref = function(p, child)
      return child:Parse('<?xml encoding="koi8-r"?>\192\193') == 1 and child:Parse() == 1 and 1 or 0
    end
    main = xml.CreateParser(cb)
    local p = main
    p:SetEncoding("WINDOWS-1251")
    eq(p:Parse('<!DOCTYPE d [<!ENTITY e SYSTEM "e">]><d a="\192">\193&e;</d>'), 1)
    eq(p:Parse(), 1)
    expectLog(log, 'startelement("d",{a="А"})\ncharacterdata("Б")\nchild characterdata("юа")')
    p:Free()
    local doc = velloran.DeserializeTable('<?xml version="1.0" encoding="cp1251"?><d>\192\193</d>',
                                          {format = "indexed"})
    eq(doc[0].text, "АБ")
  )lua");
}

TEST_F(Encodings, RunningOutOfMemoryWhileBuildingAMapLeaksNothing) {
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
    local p, r = parse()
    assert(liveBlocks() > before)
    closePlugin()
    eq(p:Parse(), 1)
    p:Free()
    eq(liveBlocks(), before)
    local failures = 0
    for n = 1, 1000 do
      failAllocMem(n)
      local p, result = parse()
      failAllocMem(0)
      p:Free()
      closePlugin()
      eq(liveBlocks(), before, "blocks after failure " .. n)
      if result == true then break end
      eq(result, "out of memory")
      failures = failures + 1
    end
    assert(failures >= 3, failures)
  )lua");
}

} // namespace
