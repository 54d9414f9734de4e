// The item format, byte for byte: the documented example, keys, types,
// string classification, escaping and base64 lines.
#include <math.h>

#include <string>
#include <vector>

#include "tests/serializer/support.h"

using namespace sertest;

namespace {

const std::vector<TagItem> ITEMS = formatTags(FORMAT_ITEMS);

std::string wrap(const std::string &body) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<root>\n" + body + "</root>\n";
}

// The one line that a single item writes.
std::string lineOf(const Item &item) {
  WriteResult r = writeItems(ITEMS, {item});
  EXPECT_EQ(r.accepted, std::vector<int>{1}) << item;
  std::string prefix = wrap("").substr(0, wrap("").size() - 8);
  if (r.text.compare(0, prefix.size(), prefix) != 0 || r.text.size() < prefix.size() + 8)
    return "<bad stream>" + r.text;
  return r.text.substr(prefix.size(), r.text.size() - prefix.size() - 8);
}

int accepted(const Item &item) {
  WriteResult r = writeItems(ITEMS, {item});
  return r.accepted.empty() ? -1 : r.accepted[0];
}

TEST(ItemsFormat, WritesTheExampleExactly) {
  std::vector<Item> items = {
      {S("title"), S("Hello & welcome")},
      {S("count"), N(3)},
      {S("code"), S("007")},
      {N(1), S("first")},
      {S("list"), BEGIN()},
      {N(1), N(5)},
      {N(2), S(" ")},
      {S("list"), END()},
      {S("raw"), S(std::string("\x00\x01\x02", 3))},
      {S("fn"), F("foo")},
  };
  WriteResult r = writeItems(ITEMS, items);
  EXPECT_EQ(r.accepted, std::vector<int>(items.size(), 1));
  EXPECT_EQ(r.freed, 1);
  EXPECT_EQ(r.text, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                    "<root>\n"
                    "\t<title>Hello &amp; welcome</title>\n"
                    "\t<count>3</count>\n"
                    "\t<code type=\"string\">007</code>\n"
                    "\t<item.1>first</item.1>\n"
                    "\t<list>\n"
                    "\t\t<item.1>5</item.1>\n"
                    "\t\t<item.2 type=\"string\"> </item.2>\n"
                    "\t</list>\n"
                    "\t<raw type=\"binary\">AAEC</raw>\n"
                    "\t<fn type=\"function\">Zm9v</fn>\n"
                    "</root>\n");

  ReadResult back = readItems(ITEMS, r.text);
  EXPECT_TRUE(back.ok);
  EXPECT_TRUE(back.doneSeen);
  std::vector<Item> expected = items;
  expected[8].value = S(std::string("\x00\x01\x02", 3));
  EXPECT_EQ(back.items, expected);
}

TEST(ItemsFormat, EmptyStreamIsDeclarationAndRoot) {
  WriteResult r = writeItems(ITEMS, {});
  EXPECT_EQ(r.text, wrap(""));
  EXPECT_EQ(r.freed, 1);
}

TEST(ItemsFormat, NumberKeysMustBeIntegralAndFitThirtyTwoBits) {
  EXPECT_EQ(lineOf({N(3.0), N(1)}), "\t<item.3>1</item.3>\n");
  EXPECT_EQ(lineOf({N(-1), N(1)}), "\t<item.-1>1</item.-1>\n");
  EXPECT_EQ(lineOf({N(2147483647.0), N(1)}), "\t<item.2147483647>1</item.2147483647>\n");
  EXPECT_EQ(lineOf({N(-2147483648.0), N(1)}), "\t<item.-2147483648>1</item.-2147483648>\n");
  for (double bad :
       {2.5, -0.5, 2147483648.0, -2147483649.0, 1e300, double(NAN), double(INFINITY)}) {
    WriteResult r = writeItems(ITEMS, {{N(bad), N(1)}});
    EXPECT_EQ(r.accepted, std::vector<int>{0}) << bad;
    EXPECT_EQ(r.text, wrap("")) << "a refused item writes nothing";
  }
}

TEST(ItemsFormat, StringKeysAreShortAsciiNames) {
  EXPECT_EQ(accepted({S(std::string(128, 'k')), N(1)}), 1);
  EXPECT_EQ(accepted({S("_a9"), N(1)}), 1);
  for (const std::string &bad :
       {std::string(129, 'k'), std::string("a-b"), std::string("1a"), std::string(""),
        std::string("a b"), std::string("\xc3\xa9"), std::string("a\0b", 3)})
    EXPECT_EQ(accepted({S(bad), N(1)}), 0) << bad;
  // A key whose length disagrees with its text is refused too.
  Item item = {S("abc"), N(1)};
  Stream s;
  void *context = plugin().InitSerializer(nullptr, writeStream, &s, ITEMS.data());
  ItemValue key = toItemValue(item.key), value = toItemValue(item.value);
  key.length = 2;
  EXPECT_EQ(plugin().SerializeItem(context, &key, &value), 0);
  EXPECT_EQ(plugin().FreeSerializer(context), 1);
}

TEST(ItemsFormat, StringsAreTypedWhereTheTextWouldReadAsSomethingElse) {
  EXPECT_EQ(lineOf({S("s"), S("12")}), "\t<s type=\"string\">12</s>\n");
  EXPECT_EQ(lineOf({S("s"), S("-x")}), "\t<s type=\"string\">-x</s>\n");
  EXPECT_EQ(lineOf({S("s"), S(".5")}), "\t<s type=\"string\">.5</s>\n");
  EXPECT_EQ(lineOf({S("s"), S("")}), "\t<s type=\"string\"></s>\n");
  EXPECT_EQ(lineOf({S("s"), S(" \t\n")}), "\t<s type=\"string\"> \t\n</s>\n");
  EXPECT_EQ(lineOf({S("s"), S("a1")}), "\t<s>a1</s>\n");
  EXPECT_EQ(lineOf({S("s"), S("<&>\"'")}), "\t<s>&lt;&amp;&gt;&quot;&apos;</s>\n");
  EXPECT_EQ(lineOf({S("n"), N(0.1)}), "\t<n>0.1</n>\n");
}

TEST(ItemsFormat, CarriageReturnsAreWrittenAsReferencesAndSurvive) {
  EXPECT_EQ(lineOf({S("s"), S("a\r\nb\rc")}), "\t<s>a&#13;\nb&#13;c</s>\n");
  std::vector<Item> items = {{S("s"), S("a\r\nb\rc\td")}, {S("t"), S("\r")}};
  WriteResult w = writeItems(ITEMS, items);
  EXPECT_EQ(readItems(ITEMS, w.text).items, items);
}

TEST(ItemsFormat, BinaryDetection) {
  const char *binaryLine = "\t<s type=\"binary\">";
  // A zero byte, whatever the encodings.
  EXPECT_EQ(lineOf({S("s"), S(std::string("a\0b", 3))}).rfind(binaryLine, 0), 0u);
  // Control bytes other than TAB, LF and CR cannot stand in XML 1.0.
  EXPECT_EQ(lineOf({S("s"), S("a\x1b")}).rfind(binaryLine, 0), 0u);
  EXPECT_EQ(lineOf({S("s"), S("a\x7f")}), "\t<s>a\x7f</s>\n");
  // Malformed UTF-8 and the noncharacter U+FFFF.
  EXPECT_EQ(lineOf({S("s"), S("a\xe9")}).rfind(binaryLine, 0), 0u);
  EXPECT_EQ(lineOf({S("s"), S("a\xef\xbf\xbf")}).rfind(binaryLine, 0), 0u);
  EXPECT_EQ(lineOf({S("s"), S("caf\xc3\xa9")}), "\t<s>caf\xc3\xa9</s>\n");

  // With ISO-8859-1 text the byte 0xE9 is a letter, 0x1B still binary.
  auto latin = tagList({{SERTAG_FORMAT, FORMAT_ITEMS},
                        {SERTAG_SOURCE_ENCODING, ENCODING_ISO_8859_1},
                        {SERTAG_TARGET_ENCODING, ENCODING_ISO_8859_1}});
  WriteResult r = writeItems(latin, {{S("a"), S("caf\xe9")}, {S("b"), S("x\x1b")}});
  EXPECT_EQ(r.text, "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n"
                    "\t<a>caf\xe9</a>\n\t<b type=\"binary\">eBs=</b>\n</root>\n");
  ReadResult back = readItems(latin, r.text);
  EXPECT_EQ(back.items, (std::vector<Item>{{S("a"), S("caf\xe9")}, {S("b"), S("x\x1b")}}));
}

TEST(ItemsFormat, LongBase64IsBrokenIntoLinesOfEighty) {
  std::string data(61, '\x07'); // 84 base64 characters
  std::string line = lineOf({S("b"), S(data)});
  std::string b64 = "BwcH";
  std::string all;
  for (int i = 0; i < 20; i++)
    all += b64;
  all += "Bw==";
  EXPECT_EQ(line, "\t<b type=\"binary\">\n\t\t" + all.substr(0, 80) + "\n\t\t" + all.substr(80) +
                      "\n\t</b>\n");
  // Exactly 80 characters stay on the line.
  std::string eighty;
  for (int i = 0; i < 20; i++)
    eighty += "eHh4";
  EXPECT_EQ(lineOf({S("f"), F(std::string(60, 'x'))}),
            "\t<f type=\"function\">" + eighty + "</f>\n");
  // Nested one level deeper, the lines move with it.
  WriteResult r = writeItems(ITEMS, {{S("t"), BEGIN()}, {N(1), F(data)}, {S("t"), END()}});
  EXPECT_EQ(r.text, wrap("\t<t>\n\t\t<item.1 type=\"function\">\n\t\t\t" + all.substr(0, 80) +
                         "\n\t\t\t" + all.substr(80) + "\n\t\t</item.1>\n\t</t>\n"));
  EXPECT_EQ(readItems(ITEMS, r.text).items,
            (std::vector<Item>{{S("t"), BEGIN()}, {N(1), F(data)}, {S("t"), END()}}));
}

TEST(ItemsFormat, TablesAndTheirEnds) {
  EXPECT_EQ(writeItems(ITEMS, {{S("t"), BEGIN()}, {S("t"), END()}}).text, wrap("\t<t>\n\t</t>\n"));
  // A table end with no open table would close the root: refused.
  WriteResult r = writeItems(ITEMS, {{S("t"), END()}});
  EXPECT_EQ(r.accepted, std::vector<int>{0});
  EXPECT_EQ(r.text, wrap(""));
}

TEST(ItemsFormat, DeclarationNamesTheTargetEncoding) {
  for (int target : {0, 1, 7}) {
    auto tags = tagList({{SERTAG_FORMAT, FORMAT_ITEMS},
                         {SERTAG_SOURCE_ENCODING, static_cast<uintptr_t>(target)},
                         {SERTAG_TARGET_ENCODING, static_cast<uintptr_t>(target)}});
    std::string text = writeItems(tags, {}).text;
    EXPECT_EQ(text.substr(0, text.find('\n')), std::string("<?xml version=\"1.0\" encoding=\"") +
                                                   (target == 1 ? "utf-8" : "iso-8859-1") + "\"?>");
  }
}

TEST(ItemsFormat, TextIsConvertedBetweenEncodings) {
  auto tags = tagList({{SERTAG_FORMAT, FORMAT_ITEMS},
                       {SERTAG_SOURCE_ENCODING, ENCODING_ISO_8859_1},
                       {SERTAG_TARGET_ENCODING, ENCODING_UTF8}});
  WriteResult r = writeItems(tags, {{S("a"), S("caf\xe9")}});
  EXPECT_EQ(r.text, wrap("\t<a>caf\xc3\xa9</a>\n"));
  // Read back into ISO-8859-1.
  auto latin =
      tagList({{SERTAG_FORMAT, FORMAT_ITEMS}, {SERTAG_TARGET_ENCODING, ENCODING_ISO_8859_1}});
  EXPECT_EQ(readItems(latin, r.text).items, (std::vector<Item>{{S("a"), S("caf\xe9")}}));
}

TEST(ItemsFormat, RootNodeOptionAndTagOrder) {
  Option root = {nullptr, "ROOTNODE", "data", 0};
  auto tags = tagList({{SERTAG_FORMAT, FORMAT_INDEXED},
                       {SERTAG_OPTIONS, reinterpret_cast<uintptr_t>(&root)},
                       {99, 5},
                       {SERTAG_FORMAT, FORMAT_ITEMS}});
  EXPECT_EQ(writeItems(tags, {}).text,
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<data>\n</data>\n");

  // The longest root name: 255 characters, whole in both tags.
  std::string longName(300, 'r');
  Option longRoot = {nullptr, "rootnode", longName.c_str(), 0};
  auto longTags = tagList(
      {{SERTAG_FORMAT, FORMAT_ITEMS}, {SERTAG_OPTIONS, reinterpret_cast<uintptr_t>(&longRoot)}});
  std::string cut(255, 'r');
  WriteResult r = writeItems(longTags, {{S("a"), N(1)}});
  EXPECT_EQ(r.text, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<" + cut + ">\n\t<a>1</a>\n</" +
                        cut + ">\n");
  EXPECT_EQ(readItems(longTags, r.text).items, (std::vector<Item>{{S("a"), N(1)}}));

  // A root name that is no XML name opens no writer.
  for (const char *bad : {"1root", "a b", "a<b", ""}) {
    Option badRoot = {nullptr, "rootnode", bad, 0};
    auto badTags = tagList(
        {{SERTAG_FORMAT, FORMAT_ITEMS}, {SERTAG_OPTIONS, reinterpret_cast<uintptr_t>(&badRoot)}});
    size_t before = liveBlocks();
    EXPECT_FALSE(writeItems(badTags, {}).opened) << bad;
    EXPECT_EQ(liveBlocks(), before);
  }
}

TEST(ItemsFormat, UnknownFormatOpensNothing) {
  Stream s;
  auto tags = formatTags(3);
  EXPECT_EQ(plugin().InitSerializer(nullptr, writeStream, &s, tags.data()), nullptr);
  EXPECT_EQ(plugin().InitSerializer(readStream, nullptr, &s, tags.data()), nullptr);
  EXPECT_EQ(s.data, "");
}

} // namespace
