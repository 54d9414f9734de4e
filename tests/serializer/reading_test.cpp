// Reading: the item format's rules for untyped and typed elements, the
// walk of the document formats, and input that fails or ends too early.
#include <string>
#include <vector>

#include "tests/serializer/support.h"

using namespace sertest;

namespace {

const std::vector<TagItem> ITEMS = formatTags(FORMAT_ITEMS);
const std::vector<TagItem> NAMED = formatTags(FORMAT_NAMED);
const std::vector<TagItem> INDEXED = formatTags(FORMAT_INDEXED);

std::vector<Item> readOk(const std::vector<TagItem> &tags, const std::string &text,
                         int32_t chunk = 16384) {
  ReadResult r = readItems(tags, text, chunk);
  EXPECT_TRUE(r.opened);
  EXPECT_TRUE(r.ok) << text;
  EXPECT_TRUE(r.doneSeen) << text;
  EXPECT_EQ(r.freed, 1);
  return r.items;
}

bool readFails(const std::vector<TagItem> &tags, const std::string &text) {
  size_t before = liveBlocks();
  ReadResult r = readItems(tags, text);
  EXPECT_EQ(liveBlocks(), before);
  return r.opened && !r.ok;
}

TEST(ReadingItems, UntypedElementsTakeTheirTypeFromTheText) {
  EXPECT_EQ(readOk(ITEMS, "<root><a>1</a></root>"), (std::vector<Item>{{S("a"), N(1)}}));
  EXPECT_EQ(readOk(ITEMS, "<root><t><item.1>x</item.1></t></root>"),
            (std::vector<Item>{{S("t"), BEGIN()}, {N(1), S("x")}, {S("t"), END()}}));
  EXPECT_EQ(readOk(ITEMS, "<root><e/></root>"),
            (std::vector<Item>{{S("e"), BEGIN()}, {S("e"), END()}}));
  EXPECT_EQ(readOk(ITEMS, "<root><e>  </e></root>"),
            (std::vector<Item>{{S("e"), BEGIN()}, {S("e"), END()}}));
  EXPECT_EQ(readOk(ITEMS, "<root><n>-</n><m>-2.5e3x</m></root>"),
            (std::vector<Item>{{S("n"), N(0)}, {S("m"), N(-2500)}}));
  EXPECT_EQ(readOk(ITEMS, "<root><s type=\"string\">12</s><u>a &amp; b</u></root>"),
            (std::vector<Item>{{S("s"), S("12")}, {S("u"), S("a & b")}}));
  EXPECT_EQ(readOk(ITEMS, "<root><item.3/><item.x>1</item.x><item.12>1</item.12></root>"),
            (std::vector<Item>{{N(3), BEGIN()}, {N(3), END()}, {N(0), N(1)}, {N(12), N(1)}}));
}

TEST(ReadingItems, TypedElementsWithoutTextAndWithChildren) {
  // No text: a number is 0, binary and function values are empty.
  EXPECT_EQ(readOk(ITEMS, "<root><n type=\"number\"/><b type=\"binary\"/>"
                          "<f type=\"function\"></f><s type=\"string\"/></root>"),
            (std::vector<Item>{{S("n"), N(0)}, {S("b"), S("")}, {S("f"), F("")}, {S("s"), S("")}}));
  // Any typed element with children is a table, binary included.
  EXPECT_EQ(readOk(ITEMS, "<root><b type=\"binary\">QQ==<x>1</x></b>"
                          "<s type=\"string\">a<y/></s></root>"),
            (std::vector<Item>{{S("b"), BEGIN()},
                               {S("x"), N(1)},
                               {S("b"), END()},
                               {S("s"), BEGIN()},
                               {S("y"), BEGIN()},
                               {S("y"), END()},
                               {S("s"), END()}}));
  // Base64 text with white space inside.
  EXPECT_EQ(readOk(ITEMS, "<root><b type=\"binary\">\n\t\tQU\n\tJD\n</b></root>"),
            (std::vector<Item>{{S("b"), S("ABC")}}));
}

TEST(ReadingItems, NumberTextIsReadWithinItsOwnBytes) {
  // The number's digits continue in the next element's text; they must not
  // be read as part of it.
  std::string text = "<root><a>12</a><b>34</b><c>5";
  text += std::string(20000, '6') + "</c></root>";
  std::vector<Item> items = readOk(ITEMS, text, 7);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0], (Item{S("a"), N(12)}));
  EXPECT_EQ(items[1], (Item{S("b"), N(34)}));
  EXPECT_EQ(items[2].value.type, ITEM_NUMBER);
}

TEST(ReadingItems, NamesAreMappedUnlessRaw) {
  // The host maps to lower case; U+0130 would shrink and stays as it is.
  EXPECT_EQ(readOk(ITEMS, "<root><HeLLo>x</HeLLo><\xc4\xb0X>y</\xc4\xb0X></root>"),
            (std::vector<Item>{{S("hello"), S("x")}, {S("\xc4\xb0x"), S("y")}}));
  auto raw = tagList({{SERTAG_FORMAT, FORMAT_ITEMS}, {SERTAG_RAW_NAMES, 3}});
  EXPECT_EQ(readOk(raw, "<root><HeLLo>x</HeLLo></root>"),
            (std::vector<Item>{{S("HeLLo"), S("x")}}));
  auto notRaw = tagList({{SERTAG_FORMAT, FORMAT_ITEMS}, {SERTAG_RAW_NAMES, 2}});
  EXPECT_EQ(readOk(notRaw, "<root><HeLLo>x</HeLLo></root>"),
            (std::vector<Item>{{S("hello"), S("x")}}));
}

TEST(ReadingItems, BadInputFails) {
  EXPECT_TRUE(readFails(ITEMS, "<root><x foo=\"1\">a</x></root>"));
  EXPECT_TRUE(readFails(ITEMS, "<root><x type=\"float\">1</x></root>"));
  EXPECT_TRUE(readFails(ITEMS, "<data><a>1</a></data>"));
  EXPECT_TRUE(readFails(ITEMS, "<root><a>1</b></root>"));
  EXPECT_TRUE(readFails(ITEMS, "<root><b type=\"binary\">QQ=</b></root>"));
  // Items before the fault are handed over, then the call fails, and fails
  // again when asked once more.
  Stream s;
  s.data = "<root><a>1</a><b>2</c></root>";
  void *context = plugin().InitSerializer(readStream, nullptr, &s, ITEMS.data());
  ItemValue key, value;
  int done = 0;
  EXPECT_EQ(plugin().DeserializeItem(context, &key, &value, &done), 1);
  EXPECT_EQ(fromItemValue(value), N(1));
  EXPECT_EQ(plugin().DeserializeItem(context, &key, &value, &done), 0);
  EXPECT_EQ(plugin().DeserializeItem(context, &key, &value, &done), 0);
  EXPECT_EQ(plugin().FreeSerializer(context), 1);
}

TEST(ReadingItems, TruncatedInputIsAFailureInEveryFormat) {
  const std::string whole =
      "<?xml version=\"1.0\"?>\n<root>\n\t<a>1</a>\n\t<t>\n\t\t<b>2</b>\n\t</t>\n</root>\n";
  EXPECT_EQ(readOk(ITEMS, whole).size(), 4u);
  for (size_t cut :
       {whole.size() - 8, whole.size() - 14, size_t(30), size_t(25), size_t(3), size_t(0)}) {
    EXPECT_TRUE(readFails(ITEMS, whole.substr(0, cut))) << cut;
    // The document formats read an input without any element as empty.
    EXPECT_EQ(readFails(INDEXED, whole.substr(0, cut)), cut != 0) << cut;
    EXPECT_EQ(readFails(NAMED, whole.substr(0, cut)), cut != 0) << cut;
  }
  // Complete documents with trailing white space and comments still read.
  EXPECT_EQ(readOk(INDEXED, "<a/>\n<!-- end -->\n").size(), 8u);
}

TEST(ReadingItems, ReadErrorsFail) {
  for (int32_t bad : {-1, 16385}) {
    Stream s;
    s.readResult = bad;
    void *context = plugin().InitSerializer(readStream, nullptr, &s, ITEMS.data());
    ItemValue key, value;
    int done = 0;
    EXPECT_EQ(plugin().DeserializeItem(context, &key, &value, &done), 0);
    EXPECT_EQ(plugin().FreeSerializer(context), 1);
  }
}

TEST(ReadingDocuments, IndexedWalkHandsOverEveryPart) {
  std::vector<Item> expected = {
      {N(0), BEGIN()},     {S("name"), S("d")},   {S("text"), S("hi")}, {S("attrs"), BEGIN()},
      {N(0), BEGIN()},     {S("key"), S("a")},    {S("value"), S("1")}, {N(0), END()},
      {S("attrs"), END()}, {S("nodes"), BEGIN()}, {N(0), BEGIN()},      {S("name"), S("c")},
      {S("text"), S("")},  {S("attrs"), BEGIN()}, {S("attrs"), END()},  {S("nodes"), BEGIN()},
      {S("nodes"), END()}, {N(0), END()},         {S("nodes"), END()},  {N(0), END()},
  };
  EXPECT_EQ(readOk(INDEXED, "<d a=\"1\">hi<c/></d>"), expected);
  // Any chunking gives the same items.
  EXPECT_EQ(readOk(INDEXED, "<d a=\"1\">hi<c/></d>", 1), expected);
}

TEST(ReadingDocuments, NamedKeysByNameAndJoinsText) {
  std::vector<Item> items = readOk(NAMED, "<Doc>a<x k='1' j='&lt;'/>b<x/>c</Doc>");
  std::vector<Item> x0 = {{S("x"), BEGIN()},     {S("text"), S("")},  {S("attrs"), BEGIN()},
                          {N(0), BEGIN()},       {S("key"), S("k")},  {S("value"), S("1")},
                          {N(0), END()},         {N(1), BEGIN()},     {S("key"), S("j")},
                          {S("value"), S("<")},  {N(1), END()},       {S("attrs"), END()},
                          {S("nodes"), BEGIN()}, {S("nodes"), END()}, {S("x"), END()}};
  std::vector<Item> x1 = {{S("x"), BEGIN()},   {S("text"), S("")},    {S("attrs"), BEGIN()},
                          {S("attrs"), END()}, {S("nodes"), BEGIN()}, {S("nodes"), END()},
                          {S("x"), END()}};
  std::vector<Item> expected = {{S("doc"), BEGIN()},
                                {S("text"), S("abc")},
                                {S("attrs"), BEGIN()},
                                {S("attrs"), END()},
                                {S("nodes"), BEGIN()}};
  expected.insert(expected.end(), x0.begin(), x0.end());
  expected.insert(expected.end(), x1.begin(), x1.end());
  expected.push_back({S("nodes"), END()});
  expected.push_back({S("doc"), END()});
  EXPECT_EQ(items, expected);
}

TEST(ReadingDocuments, WhitespaceTextFollowsTheOption) {
  EXPECT_EQ(readOk(NAMED, "<a> \n\t</a>")[1], (Item{S("text"), S("")}));
  Option keep = {nullptr, "IgnoreWhitespace", nullptr, 0.9};
  auto tags = tagList(
      {{SERTAG_FORMAT, FORMAT_NAMED}, {SERTAG_OPTIONS, reinterpret_cast<uintptr_t>(&keep)}});
  EXPECT_EQ(readOk(tags, "<a> \n\t</a>")[1], (Item{S("text"), S(" \n\t")}));
  Option drop = {nullptr, "ignorewhitespace", nullptr, -1.5};
  auto dropTags = tagList(
      {{SERTAG_FORMAT, FORMAT_NAMED}, {SERTAG_OPTIONS, reinterpret_cast<uintptr_t>(&drop)}});
  EXPECT_EQ(readOk(dropTags, "<a> \n\t</a>")[1], (Item{S("text"), S("")}));
}

TEST(ReadingDocuments, TextsAreConvertedToTheTargetEncoding) {
  auto latin =
      tagList({{SERTAG_FORMAT, FORMAT_INDEXED}, {SERTAG_TARGET_ENCODING, ENCODING_ISO_8859_1}});
  std::vector<Item> items = readOk(latin, "<\xc3\xa9 \xc3\xa0='\xc3\xa8'>\xc3\xa7</\xc3\xa9>");
  EXPECT_EQ(items[1], (Item{S("name"), S("\xe9")})) << "names are converted like texts";
  EXPECT_EQ(items[2], (Item{S("text"), S("\xe7")}));
  EXPECT_EQ(items[5], (Item{S("key"), S("\xe0")}));
  EXPECT_EQ(items[6], (Item{S("value"), S("\xe8")}));
}

TEST(ReadingDocuments, OtherEncodingsAreDetected) {
  std::string latin = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><a>caf\xe9</a>";
  EXPECT_EQ(readOk(NAMED, latin)[1], (Item{S("text"), S("caf\xc3\xa9")}));
}

TEST(SerializerOptions, DefaultsAndHostEncoding) {
  // Null tags: FORMAT_INDEXED, whitespace dropped, encodings from the host.
  velloran::setHostEncoding(ENCODING_ISO_8859_1);
  Stream s;
  void *context = plugin().InitSerializer(nullptr, writeStream, &s, nullptr);
  velloran::setHostEncoding(ENCODING_UTF8);
  ASSERT_NE(context, nullptr);
  std::vector<Item> items = {
      {N(0), BEGIN()}, {S("name"), S("a")}, {S("text"), S("\xe9  ")}, {N(0), END()}};
  for (const Item &item : items) {
    ItemValue key = toItemValue(item.key), value = toItemValue(item.value);
    EXPECT_EQ(plugin().SerializeItem(context, &key, &value), 1) << item;
  }
  EXPECT_EQ(plugin().FreeSerializer(context), 1);
  EXPECT_EQ(s.data, "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<a>\xe9  </a>\n");
}

} // namespace
