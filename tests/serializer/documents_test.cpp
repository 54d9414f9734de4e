// The document formats, writing: tree layout, ordering, refused items, and
// round trips through the reader in all three formats.
#include <string>
#include <vector>

#include "tests/serializer/support.h"

using namespace sertest;

namespace {

const std::vector<TagItem> ITEMS = formatTags(FORMAT_ITEMS);
const std::vector<TagItem> NAMED = formatTags(FORMAT_NAMED);
const std::vector<TagItem> INDEXED = formatTags(FORMAT_INDEXED);
const std::string DECLARATION = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

// An element of FORMAT_INDEXED as items: name, text (unless null),
// attributes as name/value pairs with their indexes, and children.
std::vector<Item> element(int index, const std::string &name, const char *text,
                          std::vector<std::pair<int, std::pair<std::string, std::string>>> attrs,
                          std::vector<std::vector<Item>> children) {
  std::vector<Item> items = {{N(index), BEGIN()}, {S("name"), S(name)}};
  if (text)
    items.push_back({S("text"), S(text)});
  items.push_back({S("attrs"), BEGIN()});
  for (auto &a : attrs) {
    items.push_back({N(a.first), BEGIN()});
    items.push_back({S("key"), S(a.second.first)});
    items.push_back({S("value"), S(a.second.second)});
    items.push_back({N(a.first), END()});
  }
  items.push_back({S("attrs"), END()});
  items.push_back({S("nodes"), BEGIN()});
  for (auto &c : children)
    items.insert(items.end(), c.begin(), c.end());
  items.push_back({S("nodes"), END()});
  items.push_back({N(index), END()});
  return items;
}

std::vector<int> ones(size_t n) {
  return std::vector<int>(n, 1);
}

TEST(WritingDocuments, LayoutOfElementsTextAndAttributes) {
  std::vector<Item> items =
      element(0, "doc", nullptr, {{0, {"v", "1"}}},
              {element(0, "empty", nullptr, {}, {}), element(1, "leaf", "a<b", {}, {}),
               element(2, "mid", nullptr, {}, {element(0, "deep", "x", {}, {})})});
  WriteResult r = writeItems(INDEXED, items);
  EXPECT_EQ(r.accepted, ones(items.size()));
  EXPECT_EQ(r.text, DECLARATION + "<doc v=\"1\">\n"
                                  "\t<empty/>\n"
                                  "\t<leaf>a&lt;b</leaf>\n"
                                  "\t<mid>\n"
                                  "\t\t<deep>x</deep>\n"
                                  "\t</mid>\n"
                                  "</doc>\n");
  EXPECT_EQ(r.freed, 1);
}

TEST(WritingDocuments, AttributesAndChildrenAreOrderedByIndex) {
  std::vector<Item> items =
      element(0, "e", nullptr, {{2, {"c", "3"}}, {0, {"a", "1"}}, {1, {"b", "2"}}},
              {element(5, "z", nullptr, {}, {}), element(1, "y", nullptr, {}, {}),
               element(3, "x", nullptr, {}, {})});
  EXPECT_EQ(writeItems(INDEXED, items).text,
            DECLARATION + "<e a=\"1\" b=\"2\" c=\"3\">\n\t<y/>\n\t<x/>\n\t<z/>\n</e>\n");
}

TEST(WritingDocuments, NamedChildrenKeepTheirOrderOfArrival) {
  std::vector<Item> items = {
      {S("r"), BEGIN()},  {S("nodes"), BEGIN()}, {S("b"), BEGIN()}, {S("b"), END()},
      {S("a"), BEGIN()},  {S("text"), N(2.5)},   {S("a"), END()},   {S("text"), BEGIN()},
      {S("text"), END()}, {S("nodes"), END()},   {S("r"), END()},
  };
  WriteResult r = writeItems(NAMED, items);
  EXPECT_EQ(r.accepted, ones(items.size()));
  EXPECT_EQ(r.text, DECLARATION + "<r>\n\t<b/>\n\t<a>2.5</a>\n\t<text/>\n</r>\n");
}

TEST(WritingDocuments, WhitespaceTextFollowsTheOption) {
  EXPECT_EQ(writeItems(INDEXED, element(0, "e", "  ", {}, {})).text, DECLARATION + "<e/>\n");
  Option keep = {nullptr, "ignorewhitespace", nullptr, 0};
  auto tags = tagList({{SERTAG_OPTIONS, reinterpret_cast<uintptr_t>(&keep)}});
  EXPECT_EQ(writeItems(tags, element(0, "e", "  ", {}, {})).text, DECLARATION + "<e>  </e>\n");
  EXPECT_EQ(writeItems(tags, element(0, "e", "", {}, {})).text, DECLARATION + "<e></e>\n");
}

TEST(WritingDocuments, ControlCharactersAreReferencedWhereReadersChangeThem) {
  std::vector<Item> items = element(0, "e", "a\r\nb\tc", {{0, {"k", "x\ty\nz\r\"'&"}}}, {});
  WriteResult r = writeItems(INDEXED, items);
  EXPECT_EQ(r.text, DECLARATION + "<e k=\"x&#9;y&#10;z&#13;&quot;&apos;&amp;\">a&#13;\nb\tc</e>\n");
  Option keep = {nullptr, "ignorewhitespace", nullptr, 0};
  auto tags = tagList({{SERTAG_OPTIONS, reinterpret_cast<uintptr_t>(&keep)}});
  std::vector<Item> back = readItems(tags, r.text).items;
  ASSERT_EQ(back.size(), 12u);
  EXPECT_EQ(back[2], (Item{S("text"), S("a\r\nb\tc")}));
  EXPECT_EQ(back[6], (Item{S("value"), S("x\ty\nz\r\"'&")}));
}

TEST(WritingDocuments, ItemsThatWouldBreakTheDocumentAreRefused) {
  struct Case {
    const char *what;
    std::vector<TagItem> tags;
    std::vector<Item> items;
    std::string written = ""; // what was written before the refusal
  };
  std::vector<Case> cases = {
      {"table end with no element", INDEXED, {{N(0), END()}}},
      {"second document element",
       INDEXED,
       {{N(0), BEGIN()}, {S("name"), S("a")}, {N(0), END()}, {N(1), BEGIN()}},
       "<a/>\n"},
      {"second named document element",
       NAMED,
       {{S("a"), BEGIN()}, {S("a"), END()}, {S("b"), BEGIN()}},
       "<a/>\n"},
      {"element without a name", INDEXED, {{N(0), BEGIN()}, {N(0), END()}}},
      {"name that is no XML name", INDEXED, {{N(0), BEGIN()}, {S("name"), S("a b")}}},
      {"name starting with a digit", INDEXED, {{N(0), BEGIN()}, {S("name"), S("1a")}}},
      {"named key that is no XML name", NAMED, {{S("a>"), BEGIN()}}},
      {"attribute name that is no name",
       INDEXED,
       {{N(0), BEGIN()},
        {S("name"), S("a")},
        {S("attrs"), BEGIN()},
        {N(0), BEGIN()},
        {S("key"), S("x=y")}}},
      {"attribute without a name",
       INDEXED,
       {{N(0), BEGIN()},
        {S("name"), S("a")},
        {S("attrs"), BEGIN()},
        {N(0), BEGIN()},
        {S("value"), S("v")},
        {N(0), END()}}},
      {"text with a control byte", INDEXED, {{N(0), BEGIN()}, {S("text"), S("a\x01")}}},
      {"text cut by a zero byte",
       INDEXED,
       {{N(0), BEGIN()}, {S("text"), S(std::string("a\0b", 3))}}},
      {"value with malformed UTF-8",
       INDEXED,
       {{N(0), BEGIN()}, {S("attrs"), BEGIN()}, {N(0), BEGIN()}, {S("value"), S("\xff")}}},
      {"fractional index", INDEXED, {{N(0.5), BEGIN()}}},
      {"index beyond 32 bits", INDEXED, {{N(4294967296.0), BEGIN()}}},
      {"number key with a plain value", INDEXED, {{N(0), S("x")}}},
      {"string key in INDEXED",
       INDEXED,
       {{N(0), BEGIN()}, {S("nodes"), BEGIN()}, {S("child"), BEGIN()}}},
      {"number key in NAMED", NAMED, {{N(0), BEGIN()}}},
      {"named element with a plain value", NAMED, {{S("a"), S("x")}}},
      {"text inside nodes", INDEXED, {{N(0), BEGIN()}, {S("nodes"), BEGIN()}, {S("text"), S("x")}}},
  };
  for (const Case &c : cases) {
    size_t before = liveBlocks();
    WriteResult r = writeItems(c.tags, c.items);
    std::vector<int> expected = ones(c.items.size());
    expected.back() = 0;
    EXPECT_EQ(r.accepted, expected) << c.what;
    EXPECT_EQ(r.text, DECLARATION + c.written) << c.what;
    EXPECT_EQ(liveBlocks(), before) << c.what;
  }
}

TEST(WritingDocuments, NamesMustStayNamesInTheTargetEncoding) {
  auto tags = tagList({{SERTAG_FORMAT, FORMAT_INDEXED},
                       {SERTAG_SOURCE_ENCODING, ENCODING_UTF8},
                       {SERTAG_TARGET_ENCODING, ENCODING_ISO_8859_1}});
  // U+540D has no ISO-8859-1 form: it would be written as '?'.
  WriteResult r = writeItems(tags, {{N(0), BEGIN()}, {S("name"), S("a\xe5\x90\x8d")}});
  EXPECT_EQ(r.accepted, (std::vector<int>{1, 0}));
  r = writeItems(tags, element(0, "caf\xc3\xa9", "\xc3\xa0", {}, {}));
  EXPECT_EQ(r.text, "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<caf\xe9>\xe0</caf\xe9>\n");
}

TEST(WritingDocuments, RepeatedEntriesReplaceEarlierOnes) {
  std::vector<Item> items = {{N(0), BEGIN()},     {S("name"), S("a")}, {S("name"), S("b")},
                             {S("text"), S("1")}, {S("text"), S("2")}, {N(0), END()}};
  size_t before = liveBlocks();
  EXPECT_EQ(writeItems(INDEXED, items).text, DECLARATION + "<b>2</b>\n");
  EXPECT_EQ(liveBlocks(), before);
}

// ---- round trips ----

std::vector<Item> sampleTable() {
  return {
      {S("title"), S("Hello & <welcome>")},
      {S("pi"), N(3.25)},
      {S("neg"), N(-1e-300)},
      {S("big"), N(1.5e300)},
      {S("digits"), S("0123")},
      {S("blank"), S("   ")},
      {S("empty"), S("")},
      {S("unicode"), S("\xe2\x82\xac uro \xf0\x9f\x98\x80")},
      {S("binary"), S(std::string("\x00\xff\x01 binary", 10))},
      {S("code"), F(std::string(200, '\x5a'))},
      {N(1), BEGIN()},
      {N(1), S("one")},
      {N(-7), N(7)},
      {S("inner"), BEGIN()},
      {S("inner"), END()},
      {S("deeper"), BEGIN()},
      {N(2147483647), S("max")},
      {S("deeper"), END()},
      {N(1), END()},
      {S("last"), S("crlf\r\n")},
  };
}

TEST(RoundTrip, ItemsComeBackInOrderInTheItemFormat) {
  std::vector<Item> items = sampleTable();
  WriteResult w = writeItems(ITEMS, items);
  EXPECT_EQ(w.accepted, ones(items.size()));
  for (int32_t chunk : {16384, 5, 1}) {
    ReadResult r = readItems(ITEMS, w.text, chunk);
    EXPECT_TRUE(r.ok && r.doneSeen) << chunk;
    EXPECT_EQ(r.items, items) << chunk;
  }
  // Under another root name too.
  Option root = {nullptr, "rootnode", "Saved.Table-1", 0};
  auto tags = tagList(
      {{SERTAG_FORMAT, FORMAT_ITEMS}, {SERTAG_OPTIONS, reinterpret_cast<uintptr_t>(&root)}});
  EXPECT_EQ(readItems(tags, writeItems(tags, items).text).items, items);
}

// Text of an element with children comes back with the indentation of its
// children appended (the format joins all character data), so the round
// trips put text on leaf elements.
TEST(RoundTrip, DocumentsComeBackInBothDocumentFormats) {
  std::vector<Item> indexed = element(
      0, "doc", nullptr, {{0, {"v", "1"}}, {1, {"w", "two words"}}},
      {element(0, "a", nullptr, {}, {}), element(1, "b", "text & more", {}, {}),
       element(2, "c", nullptr, {{0, {"x", "\xc3\xa9"}}}, {element(0, "d", "deep", {}, {})})});
  WriteResult w = writeItems(INDEXED, indexed);
  ASSERT_EQ(w.accepted, ones(indexed.size()));
  // The reader hands over every "text", "" where there is none.
  std::vector<Item> expected;
  for (size_t i = 0; i < indexed.size(); i++) {
    expected.push_back(indexed[i]);
    if (indexed[i].key == S("name") && !(i + 1 < indexed.size() && indexed[i + 1].key == S("text")))
      expected.push_back({S("text"), S("")});
  }
  EXPECT_EQ(readItems(INDEXED, w.text).items, expected);

  std::vector<Item> named = {
      {S("doc"), BEGIN()},   {S("text"), S("")},    {S("attrs"), BEGIN()}, {N(0), BEGIN()},
      {S("key"), S("v")},    {S("value"), S("1")},  {N(0), END()},         {S("attrs"), END()},
      {S("nodes"), BEGIN()}, {S("x"), BEGIN()},     {S("text"), S("1")},   {S("attrs"), BEGIN()},
      {S("attrs"), END()},   {S("nodes"), BEGIN()}, {S("nodes"), END()},   {S("x"), END()},
      {S("x"), BEGIN()},     {S("text"), S("2")},   {S("attrs"), BEGIN()}, {S("attrs"), END()},
      {S("nodes"), BEGIN()}, {S("nodes"), END()},   {S("x"), END()},       {S("nodes"), END()},
      {S("doc"), END()},
  };
  WriteResult wn = writeItems(NAMED, named);
  EXPECT_EQ(wn.accepted, ones(named.size()));
  EXPECT_EQ(wn.text, DECLARATION + "<doc v=\"1\">\n\t<x>1</x>\n\t<x>2</x>\n</doc>\n");
  EXPECT_EQ(readItems(NAMED, wn.text).items, named);
}

} // namespace
