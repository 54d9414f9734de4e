// The host's non-script services, called through the services table as the
// plugin calls them.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "velloran/services.h"

namespace {

template <typename F> F service(int table, int slot) {
  return reinterpret_cast<F>(velloran::hostServices()->slot[table][slot]);
}

void *allocMem(size_t size, int clear, const char *tag) {
  return service<AllocMemFunc>(HOST_RUNTIME_SERVICES, RUNTIME_ALLOC_MEM)(size, clear, tag);
}
void freeMem(void *block) {
  service<FreeMemFunc>(HOST_RUNTIME_SERVICES, RUNTIME_FREE_MEM)(block);
}

// Converts and returns the text, or "<null>" when the conversion fails.
std::string convert(const std::string &text, int from, int to) {
  TagItem tags[] = {{CONVERT_TAG_SOURCE_LENGTH, text.size()}, {TAG_DONE, 0}};
  char *out = service<ConvertStringFunc>(HOST_RUNTIME_SERVICES,
                                         RUNTIME_CONVERT_STRING)(text.data(), from, to, tags);
  if (!out)
    return "<null>";
  std::string result(out);
  service<FreeConvertedStringFunc>(HOST_RUNTIME_SERVICES, RUNTIME_FREE_CONVERTED_STRING)(out);
  return result;
}

std::string encode64(const std::string &data) {
  char out[256];
  int32_t length = -1;
  EXPECT_NE(0, service<Base64EncodeFunc>(HOST_CODEC_SERVICES, CODEC_BASE64_ENCODE)(
                   data.data(), static_cast<int32_t>(data.size()), out, &length, nullptr));
  EXPECT_EQ(static_cast<size_t>(length), strlen(out));
  return std::string(out, length);
}

// Decodes with the given capacity; "<fail>" when the decoder refuses.
std::string decode64(const std::string &text, int32_t capacity = 64) {
  unsigned char out[80];
  memset(out, 0xEE, sizeof out);
  int32_t length = capacity;
  int ok = service<Base64DecodeFunc>(HOST_CODEC_SERVICES, CODEC_BASE64_DECODE)(
      text.data(), static_cast<int32_t>(text.size()), out, &length, nullptr);
  for (size_t i = capacity; i < sizeof out; i++)
    EXPECT_EQ(out[i], 0xEE) << "wrote past the capacity at " << i;
  if (!ok)
    return "<fail>";
  return std::string(reinterpret_cast<char *>(out), length);
}

TEST(Services, SubTablesSitAtTheirPositionsAndUnlistedSlotsAreNull) {
  const HostServices *s = velloran::hostServices();
  for (int i = 0; i < HOST_SERVICES_SLOTS; i++) {
    bool used = i == HOST_CRT_SERVICES || i == HOST_RUNTIME_SERVICES || i == HOST_SCRIPT_SERVICES ||
                i == HOST_CODEC_SERVICES || i == HOST_UNICODE_SERVICES;
    EXPECT_EQ(used, s->slot[i] != nullptr) << "slot " << i;
  }
  // Exactly the slots that the plugin uses are filled.
  const struct {
    int table, size, filled;
  } tables[] = {{HOST_SCRIPT_SERVICES, SCRIPT_SERVICES_SLOTS, 33},
                {HOST_RUNTIME_SERVICES, RUNTIME_SERVICES_SLOTS, 7},
                {HOST_CRT_SERVICES, CRT_SERVICES_SLOTS, 8},
                {HOST_CODEC_SERVICES, CODEC_SERVICES_SLOTS, 2},
                {HOST_UNICODE_SERVICES, UNICODE_SERVICES_SLOTS, 4}};
  for (const auto &t : tables) {
    int filled = 0;
    for (int i = 0; i < t.size; i++)
      filled += s->slot[t.table][i] != nullptr;
    EXPECT_EQ(filled, t.filled) << "sub-table " << t.table;
  }
  EXPECT_EQ(s->slot[HOST_SCRIPT_SERVICES][0], nullptr);
  EXPECT_NE(s->slot[HOST_SCRIPT_SERVICES][SCRIPT_LUAL_FINDSTRING], nullptr);
}

TEST(Memory, CountsTaggedBlocksBytesAndPeak) {
  velloran::MemoryStats before = velloran::memoryStats();
  velloran::resetMemoryPeak();
  char tag[] = "element";
  void *a = allocMem(100, 1, tag);
  strcpy(tag, "changed"); // the host keeps its own copy of the tag name
  void *b = allocMem(28, 0, "buffer");
  void *c = allocMem(50, 1, "element");
  ASSERT_TRUE(a && b && c);
  for (int i = 0; i < 100; i++)
    ASSERT_EQ(static_cast<char *>(a)[i], 0);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % alignof(max_align_t), 0u);

  velloran::MemoryStats s = velloran::memoryStats();
  EXPECT_EQ(s.bytes, before.bytes + 178);
  EXPECT_EQ(s.blocks, before.blocks + 3);
  EXPECT_EQ(s.tags["element"], 150u);
  EXPECT_EQ(s.tags["buffer"], 28u);
  EXPECT_EQ(s.tags.count("changed"), 0u);

  freeMem(a);
  freeMem(nullptr);
  s = velloran::memoryStats();
  EXPECT_EQ(s.bytes, before.bytes + 78);
  EXPECT_EQ(s.peak, before.bytes + 178);
  velloran::resetMemoryPeak();
  EXPECT_EQ(velloran::memoryStats().peak, before.bytes + 78);
  freeMem(b);
  freeMem(c);
  s = velloran::memoryStats();
  EXPECT_EQ(s.bytes, before.bytes);
  EXPECT_EQ(s.blocks, before.blocks);
  EXPECT_EQ(s.tags.count("element"), 0u) << "a tag without live blocks is not listed";
}

TEST(Memory, FailsTheChosenAllocMemCallOnce) {
  velloran::failAllocMemAfter(2);
  void *first = allocMem(8, 0, "t");
  void *second = allocMem(8, 0, "t");
  void *third = allocMem(8, 0, "t");
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(second, nullptr);
  EXPECT_NE(third, nullptr);
  velloran::failAllocMemAfter(1);
  velloran::failAllocMemAfter(0); // disarmed again
  void *fourth = allocMem(8, 0, "t");
  EXPECT_NE(fourth, nullptr);
  EXPECT_EQ(allocMem(SIZE_MAX - 4, 0, "huge"), nullptr) << "size overflow must fail";
  freeMem(first);
  freeMem(third);
  freeMem(fourth);
  EXPECT_EQ(velloran::memoryStats().tags.count("t"), 0u);
}

TEST(Memory, FailsTheChosenMallocOrReallocCall) {
  auto m = service<MallocFunc>(HOST_CRT_SERVICES, CRT_MALLOC);
  auto r = service<ReallocFunc>(HOST_CRT_SERVICES, CRT_REALLOC);
  auto f = service<FreeFunc>(HOST_CRT_SERVICES, CRT_FREE);
  velloran::failMallocAfter(2);
  void *p = m(16);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(r(p, 64), nullptr) << "the second call (a realloc) fails";
  void *q = r(p, 64); // the block survives a failed realloc
  ASSERT_NE(q, nullptr);
  f(q);
}

TEST(Encodings, ConvertBothWaysUsingTheGivenLength) {
  const int U = ENCODING_UTF8, L = ENCODING_ISO_8859_1;
  EXPECT_EQ(convert("caf\xc3\xa9", U, L), "caf\xe9");
  EXPECT_EQ(convert("caf\xe9", L, U), "caf\xc3\xa9");
  EXPECT_EQ(convert("\xff", L, U), "\xc3\xbf");
  EXPECT_EQ(convert("\xe2\x82\xac 5 \xf0\x9f\x98\x80", U, L), "? 5 ?");
  EXPECT_EQ(convert("plain", U, U), "plain");
  EXPECT_EQ(convert("", U, L), "");
  // The length tag counts: the text need not end with a zero.
  TagItem tags[] = {{CONVERT_TAG_SOURCE_LENGTH, 3}, {TAG_DONE, 0}};
  char *out = service<ConvertStringFunc>(HOST_RUNTIME_SERVICES, RUNTIME_CONVERT_STRING)("abcdef", L,
                                                                                        U, tags);
  ASSERT_NE(out, nullptr);
  EXPECT_STREQ(out, "abc");
  service<FreeConvertedStringFunc>(HOST_RUNTIME_SERVICES, RUNTIME_FREE_CONVERTED_STRING)(out);
}

TEST(Encodings, InvalidUtf8OrUnknownEncodingGivesNull) {
  const int U = ENCODING_UTF8, L = ENCODING_ISO_8859_1;
  EXPECT_EQ(convert("caf\xe9", U, L), "<null>");
  EXPECT_EQ(convert("\xc3", U, L), "<null>") << "truncated at the length";
  EXPECT_EQ(convert("\xc0\xaf", U, L), "<null>") << "overlong";
  EXPECT_EQ(convert("\xed\xa0\x80", U, U), "<null>") << "surrogate";
  EXPECT_EQ(convert("abc", U, 2), "<null>");
  EXPECT_EQ(convert("abc", -1, U), "<null>");
  // A multibyte character cut by the length tag is invalid too.
  TagItem tags[] = {{CONVERT_TAG_SOURCE_LENGTH, 1}, {TAG_DONE, 0}};
  EXPECT_EQ(service<ConvertStringFunc>(HOST_RUNTIME_SERVICES, RUNTIME_CONVERT_STRING)("\xc3\xa9", U,
                                                                                      L, tags),
            nullptr);
}

TEST(Encodings, QueryHostInfoReportsTheCurrentEncoding) {
  auto query = service<QueryHostInfoFunc>(HOST_RUNTIME_SERVICES, RUNTIME_QUERY_HOST_INFO);
  int32_t cell = -5;
  TagItem tags[] = {
      {7, 0}, {HOSTINFO_TAG_ENCODING, reinterpret_cast<uintptr_t>(&cell)}, {TAG_DONE, 0}};
  query(tags);
  EXPECT_EQ(cell, ENCODING_UTF8);
  velloran::setHostEncoding(ENCODING_ISO_8859_1);
  query(tags);
  EXPECT_EQ(cell, ENCODING_ISO_8859_1);
  velloran::setHostEncoding(ENCODING_UTF8);
}

TEST(Base64, RoundTripsEveryPaddingLength) {
  EXPECT_EQ(encode64(""), "");
  EXPECT_EQ(encode64("f"), "Zg==");
  EXPECT_EQ(encode64("fo"), "Zm8=");
  EXPECT_EQ(encode64("foo"), "Zm9v");
  EXPECT_EQ(encode64("foobar"), "Zm9vYmFy");
  EXPECT_EQ(encode64(std::string("\xfb\xff\x00", 3)), "+/8A");
  std::string all;
  for (int i = 0; i < 256; i++)
    all += static_cast<char>(i);
  for (size_t n = 0; n < 60; n++) {
    std::string piece = all.substr(n * 4, n % 7 + 1);
    EXPECT_EQ(decode64(encode64(piece)), piece) << n;
  }
}

TEST(Base64, RejectsForeignCharactersBadPaddingAndSmallCapacity) {
  EXPECT_EQ(decode64("Zm9v"), "foo");
  EXPECT_EQ(decode64(""), "");
  EXPECT_EQ(decode64("Zm9"), "<fail>") << "length not a multiple of four";
  EXPECT_EQ(decode64("Zm 9"), "<fail>");
  EXPECT_EQ(decode64("Zm9\n"), "<fail>");
  EXPECT_EQ(decode64("Zm-v"), "<fail>") << "URL alphabet is not the standard one";
  EXPECT_EQ(decode64("Z==="), "<fail>");
  EXPECT_EQ(decode64("===="), "<fail>");
  EXPECT_EQ(decode64("Zg==Zm9v"), "<fail>") << "padding in the middle";
  EXPECT_EQ(decode64("Zm=v"), "<fail>");
  EXPECT_EQ(decode64("Zm9vYmFy", 5), "<fail>") << "six bytes do not fit in five";
  EXPECT_EQ(decode64("Zm9vYmFy", 6), "foobar");
  EXPECT_EQ(decode64("Zg==", 0), "<fail>");
  EXPECT_EQ(decode64("Zg==", 1), "f");
}

TEST(Crt, StricmpNumberFormatAndLibraryRoutines) {
  auto cmp = service<StricmpFunc>(HOST_CRT_SERVICES, CRT_STRICMP);
  EXPECT_EQ(cmp("Item", "iTEM"), 0);
  EXPECT_LT(cmp("abc", "ABD"), 0);
  EXPECT_GT(cmp("abcd", "ABC"), 0);
  EXPECT_NE(cmp("\xc9", "\xe9"), 0) << "only ASCII letters fold";
  auto num = service<NumberToStringFunc>(HOST_CRT_SERVICES, CRT_NUMBER_TO_STRING);
  char text[NUMBER_TEXT_SIZE];
  const struct {
    double value;
    const char *text;
  } numbers[] = {{3, "3"},
                 {-0.5, "-0.5"},
                 {1e100, "1e+100"},
                 {0.1, "0.1"},
                 {123456789012345678.0, "1.2345678901235e+17"},
                 {1.0 / 3, "0.33333333333333"}};
  for (const auto &n : numbers) {
    num(text, n.value);
    EXPECT_STREQ(text, n.text);
  }
  auto toLong = service<StrtolFunc>(HOST_CRT_SERVICES, CRT_STRTOL);
  char *end;
  EXPECT_EQ(toLong("0x1F rest", &end, 16), 31);
  EXPECT_STREQ(end, " rest");
}

TEST(Unicode, DecodesValidAndReplacesInvalidBytesOneAtATime) {
  auto decode = service<DecodeUTF8CharFunc>(HOST_UNICODE_SERVICES, UNICODE_DECODE_UTF8_CHAR);
  const struct {
    const char *text;
    uint32_t code;
    int32_t advance;
  } cases[] = {
      {"A", 0x41, 1},
      {"\xc3\xa9", 0xE9, 2},
      {"\xe2\x82\xac", 0x20AC, 3},
      {"\xf0\x9f\x98\x80", 0x1F600, 4},
      {"\xf4\x8f\xbf\xbf", 0x10FFFF, 4},
      {"\xc0\x80", 0xFFFD, 1},         // overlong NUL
      {"\xe0\x80\xaf", 0xFFFD, 1},     // overlong slash
      {"\xed\xa0\x80", 0xFFFD, 1},     // surrogate
      {"\xf4\x90\x80\x80", 0xFFFD, 1}, // above U+10FFFF
      {"\x80", 0xFFFD, 1},             // stray continuation
      {"\xe2\x82", 0xFFFD, 1},         // cut short by the terminator
      {"\xff", 0xFFFD, 1},
  };
  for (const auto &c : cases) {
    int32_t position = 0;
    EXPECT_EQ(decode(c.text, &position), c.code) << c.text;
    EXPECT_EQ(position, c.advance) << c.text;
  }
  int32_t position = 1;
  EXPECT_EQ(decode("x\xc3\xa9y", &position), 0xE9u);
  EXPECT_EQ(position, 3);
}

TEST(Unicode, ValidatesEncodesAndMapsCharacters) {
  auto valid = service<IsValidUTF8Func>(HOST_UNICODE_SERVICES, UNICODE_IS_VALID_UTF8);
  EXPECT_NE(valid("plain \xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"), 0);
  EXPECT_NE(valid(""), 0);
  EXPECT_EQ(valid("a\xc0\xafz"), 0);
  EXPECT_EQ(valid("\xed\xbf\xbf"), 0);
  EXPECT_EQ(valid("\xf5\x80\x80\x80"), 0);
  EXPECT_EQ(valid("ab\xe2\x82"), 0);

  auto encode = service<EncodeUTF8CharFunc>(HOST_UNICODE_SERVICES, UNICODE_ENCODE_UTF8_CHAR);
  auto decode = service<DecodeUTF8CharFunc>(HOST_UNICODE_SERVICES, UNICODE_DECODE_UTF8_CHAR);
  const uint32_t codes[] = {0x24, 0x7F, 0x80, 0x7FF, 0x800, 0xFFFD, 0xFFFF, 0x10000, 0x10FFFF};
  const int32_t sizes[] = {1, 1, 2, 2, 3, 3, 3, 4, 4};
  for (size_t i = 0; i < sizeof codes / sizeof codes[0]; i++) {
    char buffer[8];
    memset(buffer, 'x', sizeof buffer);
    ASSERT_EQ(encode(buffer, codes[i]), sizes[i]);
    EXPECT_EQ(buffer[sizes[i]], 0);
    int32_t position = 0;
    EXPECT_EQ(decode(buffer, &position), codes[i]);
  }
  char buffer[8];
  EXPECT_EQ(encode(buffer, 0xD800), 3);
  EXPECT_STREQ(buffer, "\xef\xbf\xbd") << "a surrogate is written as U+FFFD";

  auto map = service<MapCharFunc>(HOST_UNICODE_SERVICES, UNICODE_MAP_CHAR);
  const uint32_t pairs[][2] = {{'A', 'a'},     {'z', 'z'},       {'1', '1'},        {0xC9, 0xE9},
                               {0xD7, 0xD7},   {0xDF, 0xDF},     {0x100, 0x101},    {0x101, 0x101},
                               {0x178, 0xFF},  {0x391, 0x3B1},   {0x3A2, 0x3A2},    {0x410, 0x430},
                               {0x401, 0x451}, {0xFF21, 0xFF41}, {0x10400, 0x10428}};
  for (const auto &p : pairs)
    EXPECT_EQ(map(p[0]), p[1]) << std::hex << p[0];
}

} // namespace
