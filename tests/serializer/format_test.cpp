// The three formats byte for byte: rows of {tags, items, XML} written,
// read, or both; rows of items the writer refuses and of input the reader
// refuses; defaults and options per open serializer.
#include <math.h>

#include <gtest/gtest.h>

#include "tests/serializer/support.h"

using namespace sertest;

namespace {

const std::vector<TagItem> ITEMS = formatTags(FORMAT_ITEMS);
const std::vector<TagItem> NAMED = formatTags(FORMAT_NAMED);
const std::vector<TagItem> INDEXED = formatTags(FORMAT_INDEXED);
const std::string DECLARATION = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
const std::string LATIN_DECLARATION = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n";

std::string wrap(const std::string &body) {
  return DECLARATION + "<root>\n" + body + "</root>\n";
}

std::vector<TagItem> encodings(int format, int source, int target) {
  return tagList({{SERTAG_FORMAT, static_cast<uintptr_t>(format)},
                  {SERTAG_SOURCE_ENCODING, static_cast<uintptr_t>(source)},
                  {SERTAG_TARGET_ENCODING, static_cast<uintptr_t>(target)}});
}

enum { WRITE = 1, READ = 2, BOTH = 3 };

// A row of {tags, items, XML} and the direction it is checked in; rows of
// refusals hold what is written before the last item is refused.
struct Row {
  std::string what;
  std::vector<TagItem> tags;
  std::vector<Item> items;
  std::string xml;
  int direction = 0;
};

const Option KEEP_WHITESPACE = {nullptr, "ignorewhitespace", nullptr, 0};
const Option KEEP_WHITESPACE_MIXED_CASE = {nullptr, "IgnoreWhitespace", nullptr, 0.9};
const Option DROP_WHITESPACE = {nullptr, "ignorewhitespace", nullptr, -1.5};
const std::string LONG_NAME(300, 'r');
const Option LONG_ROOT = {nullptr, "ROOTNODE", LONG_NAME.c_str(), 0};
std::string repeat(const std::string &s, int n) {
  return n > 0 ? s + repeat(s, n - 1) : "";
}
// 61 bytes of 0x07 in base64: 84 characters.
const std::string BASE64_84 = repeat("BwcH", 20) + "Bw==";

std::vector<Row> rows() {
  const std::string bits(61, '\x07');
  return {
      {"the example", ITEMS,
       I("title='Hello & welcome' count=3 code='007' 1='first' list={ 1=5 2=' ' } "
         "raw='\\0\x01\x02' fn=f'foo'"),
       wrap("\t<title>Hello &amp; welcome</title>\n\t<count>3</count>\n"
            "\t<code type=\"string\">007</code>\n\t<item.1>first</item.1>\n\t<list>\n"
            "\t\t<item.1>5</item.1>\n\t\t<item.2 type=\"string\"> </item.2>\n\t</list>\n"
            "\t<raw type=\"binary\">AAEC</raw>\n\t<fn type=\"function\">Zm9v</fn>\n"),
       BOTH},
      {"no items", ITEMS, {}, wrap(""), BOTH},
      {"integral 32-bit number keys; strings typed where the text would read as something else",
       ITEMS,
       I("3=1 -1=1 2147483647=1 -2147483648=1 s='12' s='-x' s='.5' s='' s=' \t\n' s='a1' "
         "s='<&>\"\\'' n=0.1 s='a\r\nb\rc'"),
       wrap("\t<item.3>1</item.3>\n\t<item.-1>1</item.-1>\n"
            "\t<item.2147483647>1</item.2147483647>\n\t<item.-2147483648>1</item.-2147483648>\n"
            "\t<s type=\"string\">12</s>\n\t<s type=\"string\">-x</s>\n"
            "\t<s type=\"string\">.5</s>\n\t<s type=\"string\"></s>\n"
            "\t<s type=\"string\"> \t\n</s>\n\t<s>a1</s>\n\t<s>&lt;&amp;&gt;&quot;&apos;</s>\n"
            "\t<n>0.1</n>\n\t<s>a&#13;\nb&#13;c</s>\n"),
       BOTH},
      {"binary: zero, control bytes, malformed UTF-8, U+FFFF", ITEMS,
       I("s='a\\0b' s='a\x1b' s='a\x7f' s='a\xe9' s='a\xef\xbf\xbf' s='caf\xc3\xa9'"),
       wrap("\t<s type=\"binary\">YQBi</s>\n\t<s type=\"binary\">YRs=</s>\n\t<s>a\x7f</s>\n"
            "\t<s type=\"binary\">Yek=</s>\n\t<s type=\"binary\">Ye+/vw==</s>\n"
            "\t<s>caf\xc3\xa9</s>\n"),
       BOTH},
      {"binary in ISO-8859-1", encodings(FORMAT_ITEMS, ENCODING_ISO_8859_1, ENCODING_ISO_8859_1),
       I("a='caf\xe9' b='x\x1b'"),
       LATIN_DECLARATION + "<root>\n\t<a>caf\xe9</a>\n\t<b type=\"binary\">eBs=</b>\n</root>\n",
       BOTH},
      {"ISO-8859-1 text written as UTF-8",
       encodings(FORMAT_ITEMS, ENCODING_ISO_8859_1, ENCODING_UTF8), I("a='caf\xe9'"),
       wrap("\t<a>caf\xc3\xa9</a>\n"), WRITE},
      {"base64 lines of eighty, indented with their element", ITEMS,
       I("b='" + bits + "' f=f'" + std::string(60, 'x') + "' t={ 1=f'" + bits + "' }"),
       wrap("\t<b type=\"binary\">\n\t\t" + BASE64_84.substr(0, 80) + "\n\t\t" +
            BASE64_84.substr(80) + "\n\t</b>\n\t<f type=\"function\">" + repeat("eHh4", 20) +
            "</f>\n\t<t>\n\t\t<item.1 type=\"function\">\n\t\t\t" + BASE64_84.substr(0, 80) +
            "\n\t\t\t" + BASE64_84.substr(80) + "\n\t\t</item.1>\n\t</t>\n"),
       BOTH},
      {"declaration of an unknown encoding", encodings(FORMAT_ITEMS, 7, 7), {},
       LATIN_DECLARATION + "<root>\n</root>\n", WRITE},
      {"root option in any case, cut at 255; unknown tags skipped, the last format tag counts",
       tagList({{SERTAG_FORMAT, FORMAT_INDEXED},
                {SERTAG_OPTIONS, reinterpret_cast<uintptr_t>(&LONG_ROOT)},
                {99, 5},
                {SERTAG_FORMAT, FORMAT_ITEMS}}),
       I("a=1"),
       DECLARATION + "<" + std::string(255, 'r') + ">\n\t<a>1</a>\n</" + std::string(255, 'r') +
           ">\n",
       BOTH},
      {"untyped text that reads as a number is a number, white space and all", ITEMS,
       I("a=1 n=0 m=-2500"), "<root><a>1</a><n>-0</n><m>-2.5e3\n</m></root>", READ},
      {"other untyped text and typed strings are strings", ITEMS, I("u='a & b' s='12'"),
       "<root><u>a &amp; b</u><s type=\"string\">12</s></root>", READ},
      {"untyped elements with children or only white space are tables", ITEMS,
       I("t={ 1='x' } e={ } e={ }"), "<root><t><item.1>x</item.1></t><e/><e>  </e></root>", READ},
      {"item.<n> names are number keys, 0 where no number follows", ITEMS, I("3={ } 0=1 12=1"),
       "<root><item.3/><item.x>1</item.x><item.12>1</item.12></root>", READ},
      {"typed elements without text are empty values", ITEMS, I("n=0 b='' f=f'' s=''"),
       "<root><n type=\"number\"/><b type=\"binary\"/><f type=\"function\"></f>"
       "<s type=\"string\"/></root>", READ},
      {"typed elements with children are tables", ITEMS, I("b={ x=1 } s={ y={ } }"),
       "<root><b type=\"binary\">QQ==<x>1</x></b><s type=\"string\">a<y/></s></root>", READ},
      {"base64 with white space", ITEMS, I("b='ABC'"),
       "<root><b type=\"binary\">\n\t\tQU\n\tJD\n</b></root>", READ},
      {"names mapped to lower case (raw names off: only the tag's lowest bit counts), but "
       "U+0130 would shrink and stays",
       tagList({{SERTAG_FORMAT, FORMAT_ITEMS}, {SERTAG_RAW_NAMES, 2}}),
       I("hello='x' \xc4\xb0x='y'"),
       "<root><HeLLo>x</HeLLo><\xc4\xb0X>y</\xc4\xb0X></root>", READ},
      {"raw names", tagList({{SERTAG_FORMAT, FORMAT_ITEMS}, {SERTAG_RAW_NAMES, 3}}), I("HeLLo='x'"),
       "<root><HeLLo>x</HeLLo></root>", READ},
      // The document formats: elements as tables of name (indexed only), text,
      // attributes as index -> key/value, and child nodes.
      {"indexed layout; attributes and children ordered by index; white space text dropped, "
       "empty text written short; repeated entries replace earlier ones",
       INDEXED,
       I("0={ name='doc' attrs={ 2={ key='c' value='3' } 0={ key='v' value='1' } } nodes={ "
         "5={ name='mid' nodes={ 0={ name='deep' text='x' } } } 0={ name='empty' text='  ' "
         "attrs={ } nodes={ } } 1={ name='x' text='y' name='leaf' text='a<b' } "
         "3={ name='b' text='' } } }"),
       DECLARATION + "<doc v=\"1\" c=\"3\">\n\t<empty/>\n\t<leaf>a&lt;b</leaf>\n\t<b/>\n\t<mid>\n"
                     "\t\t<deep>x</deep>\n\t</mid>\n</doc>\n",
       WRITE},
      {"named children in their order of arrival", NAMED,
       I("r={ nodes={ b={ } a={ text=2.5 } text={ } } }"),
       DECLARATION + "<r>\n\t<b/>\n\t<a>2.5</a>\n\t<text/>\n</r>\n", WRITE},
      {"white space and empty text kept and read as they are, no indentation added",
       formatTags(FORMAT_INDEXED, &KEEP_WHITESPACE_MIXED_CASE),
       I("0={ name='e' text='' attrs={ } nodes={ 0={ name='a' text=' \n\t' attrs={ } nodes={ } } "
         "1={ name='b' text='' attrs={ } nodes={ } } } }"),
       DECLARATION + "<e><a> \n\t</a><b></b></e>\n", BOTH},
      {"white space dropped by a negative option", formatTags(FORMAT_NAMED, &DROP_WHITESPACE),
       I("a={ text='' attrs={ } nodes={ } }"), "<a> \n\t</a>", READ},
      {"control characters referenced where readers would change them",
       formatTags(FORMAT_INDEXED, &KEEP_WHITESPACE),
       I("0={ name='e' text='a\r\nb\tc' "
         "attrs={ 0={ key='k' value='x\ty\nz\r\"\\'&' } } nodes={ } }"),
       DECLARATION + "<e k=\"x&#9;y&#10;z&#13;&quot;&apos;&amp;\">a&#13;\nb\tc</e>\n", BOTH},
      {"names and texts in the target encoding",
       encodings(FORMAT_INDEXED, ENCODING_UTF8, ENCODING_ISO_8859_1),
       I("0={ name='caf\xc3\xa9' text='\xc3\xa0' }"),
       LATIN_DECLARATION + "<caf\xe9>\xe0</caf\xe9>\n", WRITE},
      {"the indexed walk hands over every part, white space as nothing", INDEXED,
       I("0={ name='d' text='hi' attrs={ 0={ key='a' value='1' } } nodes={ 0={ name='c' text='' "
         "attrs={ } nodes={ } } } }"),
       "<d a=\"1\">hi<c> \n\t</c></d>", READ},
      {"named keys by name, text joined, other encodings detected", NAMED,
       I("doc={ text='abc\xc3\xa9' attrs={ } nodes={ x={ text='' attrs={ 0={ key='k' value='1' } "
         "1={ key='j' value='<' } } nodes={ } } x={ text='' attrs={ } nodes={ } } } }"),
       "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><Doc>a<x k='1' j='&lt;'/>b<x/>c\xe9</Doc>",
       READ},
      {"names and texts read into the target encoding",
       tagList({{SERTAG_FORMAT, FORMAT_INDEXED}, {SERTAG_TARGET_ENCODING, ENCODING_ISO_8859_1}}),
       I("0={ name='\xe9' text='\xe7' attrs={ 0={ key='\xe0' value='\xe8' } } nodes={ } }"),
       "<\xc3\xa9 \xc3\xa0='\xc3\xa8'>\xc3\xa7</\xc3\xa9>", READ},
  };
}

TEST(Formats, RowsWriteAndReadByteForByte) {
  for (const Row &row : rows()) {
    SCOPED_TRACE(row.what);
    if (row.direction & WRITE) {
      WriteResult w = writeItems(row.tags, row.items);
      EXPECT_TRUE(w.allAccepted());
      EXPECT_EQ(w.text, row.xml);
    }
    if (row.direction & READ) {
      ReadResult r = readItems(row.tags, row.xml);
      EXPECT_TRUE(r.doneSeen && r.bad.empty() && r.freed == 1);
      EXPECT_EQ(r.items, row.items) << describe(r.items);
    }
  }
}

TEST(Formats, RefusedItemsWriteNothingAndKeepNothing) {
  // Rows of what is refused (the last item) and what was written before it,
  // after the declaration. Document tables left open are freed unwritten.
  const std::string root = "<root>\n</root>\n";
  std::vector<Row> refusals = {
      {"key length other than its text", ITEMS, {{{ITEM_STRING, "abc", 0, 2}, N(1)}}, root},
      {"table end with no table open", ITEMS, {{S("t"), END()}}, root},
      {"table end with no element", INDEXED, {{N(0), END()}}, ""},
      {"second document element", INDEXED, I("0={ name='a' } 1={"), "<a/>\n"},
      {"second named document element", NAMED, I("a={ } b={"), "<a/>\n"},
      {"element without a name", INDEXED, I("0={ }"), ""},
      {"named key that is no XML name", NAMED, I("'a>'={"), ""},
      {"attribute name that is no name", INDEXED, I("0={ name='a' attrs={ 0={ key='x=y'"), ""},
      {"attribute without a name", INDEXED, I("0={ name='a' attrs={ 0={ value='v' }"), ""},
      {"text with a control byte", INDEXED, I("0={ text='a\x01'"), ""},
      {"text cut by a zero byte", INDEXED, I("0={ text='a\\0b'"), ""},
      {"value with malformed UTF-8", INDEXED, I("0={ attrs={ 0={ value='\xff'"), ""},
      {"fractional index", INDEXED, I("0.5={"), ""},
      {"index beyond 32 bits", INDEXED, I("4294967296={"), ""},
      {"number key with a plain value", INDEXED, I("0='x'"), ""},
      {"string key in INDEXED", INDEXED, I("0={ nodes={ child={"), ""},
      {"number key in NAMED", NAMED,
       I("a={ text='t' attrs={ 0={ key='k' value='v' } } nodes={ b={ text='u' } 0={"), ""},
      {"named element with a plain value", NAMED, I("a='x'"), ""},
      {"text inside nodes", INDEXED, I("0={ nodes={ text='x'"), ""},
      // U+540D has no ISO-8859-1 form: it would be written as '?'.
      {"name that is none in the target encoding",
       encodings(FORMAT_INDEXED, ENCODING_UTF8, ENCODING_ISO_8859_1), I("0={ name='a\xe5\x90\x8d'"),
       ""},
  };
  // Keys the items format refuses: fractions, beyond 32 bits, NaN, infinite,
  // 129 characters, no XML name, empty, beyond ASCII, a zero byte.
  for (std::string key :
       std::vector<std::string>{"2.5", "-0.5", "2147483648", "-2147483649", "nan", "inf",
                                std::string(129, 'k'), "a-b", "1a", "''", "\xc3\xa9", "'a\\0b'"})
    refusals.push_back({"the key " + key, ITEMS, I(key + "=1"), root});
  for (const Row &c : refusals) {
    SCOPED_TRACE(c.what);
    size_t before = liveBlocks();
    WriteResult r = writeItems(c.tags, c.items);
    std::vector<int> expected(c.items.size(), 1);
    expected.back() = 0;
    EXPECT_EQ(r.accepted, expected) << describe(c.items);
    EXPECT_EQ(r.freed, 1);
    EXPECT_EQ(r.text.substr(r.text.find('\n') + 1), c.xml);
    EXPECT_EQ(liveBlocks(), before);
  }
}

TEST(Formats, RefusedInputFailsAndKeepsNothing) {
  const char *const refusals[] = {
      "<root><x foo=\"1\">a</x></root>", "<root><x type=\"float\">1</x></root>",
      "<data><a>1</a></data>", "<root><a>1</b></root>", "<root><b type=\"binary\">QQ=</b></root>"};
  // (Input cut short: tests/hardening/faults_test.cpp ends it at every byte.)
  size_t before = liveBlocks();
  for (const char *text : refusals) {
    for (int32_t readResult : {0, -1, 16385}) { // plain reads, failing, too long
      Stream s;
      s.data = text;
      s.readResult = readResult;
      ReadResult r = readStreamItems(ITEMS, &s);
      EXPECT_TRUE(r.opened && !r.ok && r.bad.empty()) << text << ", reads answering " << readResult;
    }
  }
  // A complete document with trailing white space and a comment reads.
  EXPECT_TRUE(readItems(INDEXED, "<a/>\n<!-- end -->\n").doneSeen);
  // Unknown formats and root names that are no XML names open nothing.
  EXPECT_FALSE(writeItems(formatTags(3), {}).opened);
  EXPECT_FALSE(readItems(formatTags(3), "").opened);
  const Option badRoots[] = {{nullptr, "rootnode", "1root", 0}, {nullptr, "rootnode", "a b", 0},
                             {nullptr, "rootnode", "a<b", 0}, {nullptr, "rootnode", "", 0}};
  for (const Option &badRoot : badRoots)
    EXPECT_FALSE(writeItems(formatTags(FORMAT_ITEMS, &badRoot), {}).opened) << badRoot.text;
  EXPECT_EQ(liveBlocks(), before);
}

TEST(Formats, ItemsComeBackInOrderUnderAnyRoot) {
  std::vector<Item> items = I("pi=3.25 x=inf y=-inf z=nan neg=-1e-300 big=1.5e300 unicode='"
                              "\xe2\x82\xac uro \xf0\x9f\x98\x80' code=f'" + std::string(200, 'Z') +
                              "' 1={ -7=7 2147483647='max' } last='crlf\r\n'");
  Option root = {nullptr, "rootnode", "Saved.Table-1", 0};
  for (auto &tags : {ITEMS, formatTags(FORMAT_ITEMS, &root)})
    EXPECT_EQ(readItems(tags, writeItems(tags, items).text).items, items);
}

// Null tags: the indexed format, white space dropped, encodings the host's.
TEST(Formats, DefaultsFollowTheHostEncoding) {
  velloran::setHostEncoding(ENCODING_ISO_8859_1);
  WriteResult w = writeItems({}, I("0={ name='a' text='\xe9  ' }"));
  velloran::setHostEncoding(ENCODING_UTF8);
  EXPECT_TRUE(w.allAccepted());
  EXPECT_EQ(w.text, LATIN_DECLARATION + "<a>\xe9  </a>\n");
}

// Each open serializer keeps the options it was opened with, whatever
// another serializer opened meanwhile uses.
TEST(OpenTwice, EachSerializerKeepsItsOwnOptions) {
  const Option rootA = {nullptr, "rootnode", "a", 0}, rootB = {nullptr, "rootnode", "b", 0};
  auto tagsA = formatTags(FORMAT_ITEMS, &rootA);
  tagsA.insert(tagsA.begin(), {SERTAG_RAW_NAMES, 1});
  Stream written, read;
  read.data = "<a><Key>1</Key></a>";
  void *writer = plugin().InitSerializer(nullptr, writeStream, &written, tagsA.data());
  void *reader = plugin().InitSerializer(readStream, nullptr, &read, tagsA.data());
  ASSERT_TRUE(writer && reader);
  // Another serializer, with options of its own, opened and freed meanwhile.
  EXPECT_TRUE(writeItems(formatTags(FORMAT_ITEMS, &rootB), {}).allAccepted());
  ItemValue key, value;
  int done = 0;
  ASSERT_EQ(plugin().DeserializeItem(reader, &key, &value, &done), 1);
  EXPECT_EQ(std::string(static_cast<char *>(key.data), key.length), "Key") << "raw names";
  EXPECT_EQ(plugin().FreeSerializer(reader), 1);
  EXPECT_EQ(plugin().FreeSerializer(writer), 1);
  EXPECT_EQ(written.data.substr(written.data.size() - 5), "</a>\n");
}

} // namespace
