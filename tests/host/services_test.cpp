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

TEST(Memory, CountsTaggedBlocksAndFailsTheChosenCallOnce) {
  velloran::MemoryStats before = velloran::memoryStats();
  velloran::resetMemoryPeak();
  char tag[] = "element";
  void *a = allocMem(100, 1, tag);
  strcpy(tag, "changed"); // the host keeps its own copy of the tag name
  void *b = allocMem(50, 0, "element");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(memcmp(a, std::string(100, '\0').data(), 100), 0);
  velloran::MemoryStats s = velloran::memoryStats();
  EXPECT_EQ(s.bytes, before.bytes + 150);
  EXPECT_EQ(s.blocks, before.blocks + 2);
  EXPECT_EQ(s.tags["element"], 150u);
  freeMem(a);
  freeMem(b);
  s = velloran::memoryStats();
  EXPECT_EQ(s.peak, before.bytes + 150);
  EXPECT_EQ(s.blocks, before.blocks);
  EXPECT_EQ(s.tags.count("element"), 0u) << "a tag without live blocks is not listed";
  EXPECT_EQ(allocMem(SIZE_MAX - 4, 0, "huge"), nullptr) << "size overflow must fail";
  // The fault controls fail the chosen call only.
  velloran::failAllocMemAfter(2);
  void *first = allocMem(8, 0, "t"), *second = allocMem(8, 0, "t"), *third = allocMem(8, 0, "t");
  EXPECT_TRUE(first && !second && third);
  freeMem(first);
  freeMem(third);
  // Malloc and realloc count together; a failed realloc keeps the block.
  auto r = service<ReallocFunc>(HOST_CRT_SERVICES, CRT_REALLOC);
  velloran::failMallocAfter(2);
  void *p = service<MallocFunc>(HOST_CRT_SERVICES, CRT_MALLOC)(16);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(r(p, 64), nullptr);
  service<FreeFunc>(HOST_CRT_SERVICES, CRT_FREE)(r(p, 64));
}

TEST(Encodings, ConvertWithinTheGivenLengthOrGiveNull) {
  const int U = ENCODING_UTF8, L = ENCODING_ISO_8859_1;
  const struct {
    const char *text;
    int from, to;
    const char *converted; // null: refused
    size_t length = strlen(text);
  } cases[] = {
      {"\xe2\x82\xac 5 \xf0\x9f\x98\x80", U, L, "? 5 ?"},
      {"", U, L, ""},
      {"caf\xe9", U, L, nullptr},
      {"\xc0\xaf", U, L, nullptr},
      {"\xed\xa0\x80", U, U, nullptr},
      {"abc", U, 2, nullptr},
      {"abc", -1, U, nullptr},
      {"abcdef", L, U, "abc", 3},
      {"\xc3\xa9", U, L, nullptr, 1}, // a character cut by the length
  };
  for (const auto &c : cases) {
    TagItem tags[] = {{CONVERT_TAG_SOURCE_LENGTH, c.length}, {TAG_DONE, 0}};
    char *out = service<ConvertStringFunc>(HOST_RUNTIME_SERVICES,
                                           RUNTIME_CONVERT_STRING)(c.text, c.from, c.to, tags);
    EXPECT_STREQ(out, c.converted) << c.text << " from " << c.from << " to " << c.to;
    service<FreeConvertedStringFunc>(HOST_RUNTIME_SERVICES, RUNTIME_FREE_CONVERTED_STRING)(out);
  }
}

// Decodes with the given capacity; "<fail>" when the decoder refuses.
std::string decode64(const std::string &text, int32_t capacity = 64) {
  std::string out(80, '\xEE');
  int32_t length = capacity;
  int ok = service<Base64DecodeFunc>(HOST_CODEC_SERVICES, CODEC_BASE64_DECODE)(
      text.data(), static_cast<int32_t>(text.size()), &out[0], &length, nullptr);
  EXPECT_EQ(out.substr(capacity), std::string(80 - capacity, '\xEE')) << "wrote past the capacity";
  return ok ? out.substr(0, length) : "<fail>";
}

// The encoder's text and round trips of binary values are checked by the
// items format tests and the tables' round trip of every value type.
TEST(Base64, DecoderRefusesBadTextAndKeepsToItsCapacity) {
  for (const char *bad : {"Zm9", "Zm 9", "Zm9\n", "Zm-v", "Z===", "====", "Zg==Zm9v", "Zm=v"})
    EXPECT_EQ(decode64(bad), "<fail>") << bad;
  EXPECT_EQ(decode64("Zm9vYmFy", 5), "<fail>") << "six bytes do not fit in five";
  EXPECT_EQ(decode64("Zm9vYmFy", 6), "foobar");
  EXPECT_EQ(decode64("Zg==", 0), "<fail>");
}

// Numbers as text read back as the same number: "%.14g" only where it does.
TEST(Crt, NumberTextReadsBackAsTheSameNumber) {
  auto num = service<NumberToStringFunc>(HOST_CRT_SERVICES, CRT_NUMBER_TO_STRING);
  char text[NUMBER_TEXT_SIZE];
  const std::pair<double, const char *> numbers[] = {{3, "3"},
                                                     {1e100, "1e+100"},
                                                     {0.1 + 0.2, "0.30000000000000004"},
                                                     {1.0 / 3, "0.3333333333333333"}};
  for (const auto &n : numbers) {
    num(text, n.first);
    EXPECT_STREQ(text, n.second);
  }
}

TEST(Unicode, DecodesEncodesValidatesAndMaps) {
  auto decode = service<DecodeUTF8CharFunc>(HOST_UNICODE_SERVICES, UNICODE_DECODE_UTF8_CHAR);
  auto encode = service<EncodeUTF8CharFunc>(HOST_UNICODE_SERVICES, UNICODE_ENCODE_UTF8_CHAR);
  for (uint32_t code : {0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xFFFFu, 0x10000u, 0x10FFFFu, 0xD800u}) {
    char buffer[8];
    SCOPED_TRACE(code);
    int32_t size = encode(buffer, code), position = 0;
    EXPECT_EQ(static_cast<size_t>(size), strlen(buffer));
    EXPECT_EQ(decode(buffer, &position), code == 0xD800 ? 0xFFFD : code) << "surrogates as U+FFFD";
    EXPECT_EQ(position, size);
  }
  auto valid = service<IsValidUTF8Func>(HOST_UNICODE_SERVICES, UNICODE_IS_VALID_UTF8);
  EXPECT_NE(valid("plain \xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"), 0);
  // A bad sequence decodes as U+FFFD, one byte long, and makes a text invalid.
  for (const char *bad : {"\xc0\x80", "\xe0\x80\xaf", "\xed\xa0\x80", "\xed\xbf\xbf",
                          "\xf4\x90\x80\x80", "\xf5\x80\x80\x80", "\x80", "\xe2\x82"}) {
    int32_t position = 0;
    EXPECT_EQ(decode(bad, &position), 0xFFFDu) << bad;
    EXPECT_EQ(position, 1) << bad;
    EXPECT_EQ(valid(("a" + std::string(bad) + "z").c_str()), 0) << bad;
    EXPECT_EQ(valid(("a" + std::string(bad)).c_str()), 0) << bad;
  }
  auto map = service<MapCharFunc>(HOST_UNICODE_SERVICES, UNICODE_MAP_CHAR);
  const uint32_t pairs[][2] = {{'A', 'a'}, {0xD7, 0xD7}, {0x178, 0xFF}, {0x10400, 0x10428}};
  for (const auto &p : pairs)
    EXPECT_EQ(map(p[0]), p[1]) << std::hex << p[0];
}

} // namespace
