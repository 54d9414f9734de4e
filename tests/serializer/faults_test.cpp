// Faults: every write call failing in turn, every AllocMem and every C
// library allocation failing in turn. Each must be reported (null or 0),
// and no tagged block may stay live after FreeSerializer.
#include <string>
#include <vector>

#include "tests/serializer/support.h"

using namespace sertest;

namespace {

std::vector<Item> itemsTable() {
  return {
      {S("title"), S("Hello & welcome")},
      {S("n"), N(42)},
      {S("t"), BEGIN()},
      {N(1), S(std::string(100, '\x01'))},
      {N(2), F("function bytes")},
      {S("t"), END()},
      {S("s"), S("typed\r")},
  };
}

std::vector<Item> documentTable(int format) {
  Val top = format == FORMAT_NAMED ? S("doc") : N(0);
  std::vector<Item> items = {{top, BEGIN()}};
  if (format == FORMAT_INDEXED)
    items.push_back({S("name"), S("doc")});
  std::vector<Item> rest = {
      {S("text"), S("a & b")}, {S("attrs"), BEGIN()}, {N(1), BEGIN()},     {S("key"), S("k")},
      {S("value"), N(7)},      {N(1), END()},         {N(0), BEGIN()},     {S("key"), S("j")},
      {S("value"), S("\"")},   {N(0), END()},         {S("attrs"), END()}, {S("nodes"), BEGIN()},
  };
  items.insert(items.end(), rest.begin(), rest.end());
  /* Beyond ASCII, so that Expat checks the name (plain ASCII names are
     checked without a parser). */
  Val child = format == FORMAT_NAMED ? S("ch\xc3\xafld") : N(0);
  items.push_back({child, BEGIN()});
  if (format == FORMAT_INDEXED)
    items.push_back({S("name"), S("ch\xc3\xafld")});
  items.push_back({S("text"), S("x")});
  items.push_back({child, END()});
  items.push_back({S("nodes"), END()});
  items.push_back({top, END()});
  return items;
}

std::vector<Item> tableFor(int format) {
  return format == FORMAT_ITEMS ? itemsTable() : documentTable(format);
}

bool allAccepted(const WriteResult &r, size_t count) {
  return r.opened && r.freed == 1 && r.accepted == std::vector<int>(count, 1);
}

TEST(Faults, EveryFailingWriteIsReported) {
  for (int format : {FORMAT_ITEMS, FORMAT_NAMED, FORMAT_INDEXED}) {
    auto tags = formatTags(format);
    std::vector<Item> items = tableFor(format);
    WriteResult whole = writeItems(tags, items);
    ASSERT_TRUE(allAccepted(whole, items.size())) << format;
    ASSERT_GT(whole.writes, 5);
    for (long k = 1; k <= whole.writes; k++) {
      size_t before = liveBlocks();
      WriteResult r = writeItems(tags, items, k);
      EXPECT_FALSE(allAccepted(r, items.size())) << "format " << format << ", write " << k;
      EXPECT_EQ(liveBlocks(), before) << "format " << format << ", write " << k;
    }
  }
}

TEST(Faults, EveryFailingAllocMemIsReportedWhenWriting) {
  for (int format : {FORMAT_ITEMS, FORMAT_NAMED, FORMAT_INDEXED}) {
    auto tags = formatTags(format);
    std::vector<Item> items = tableFor(format);
    long n = 1;
    for (;; n++) {
      size_t before = liveBlocks();
      velloran::failAllocMemAfter(n);
      WriteResult r = writeItems(tags, items);
      velloran::failAllocMemAfter(0);
      EXPECT_EQ(liveBlocks(), before) << "format " << format << ", allocation " << n;
      if (allAccepted(r, items.size()))
        break;
      ASSERT_LT(n, 1000);
    }
    EXPECT_GT(n, 3) << "the writer allocates; a failure must have been seen";
  }
}

TEST(Faults, EveryFailingAllocationIsReportedWhenReading) {
  typedef void (*Arm)(long);
  for (Arm arm : {velloran::failAllocMemAfter, velloran::failMallocAfter}) {
    for (int format : {FORMAT_ITEMS, FORMAT_NAMED, FORMAT_INDEXED}) {
      auto tags = formatTags(format);
      std::vector<Item> items = tableFor(format);
      WriteResult w = writeItems(tags, items);
      ReadResult whole = readItems(tags, w.text);
      ASSERT_TRUE(whole.ok && whole.doneSeen);
      long n = 1;
      for (;; n++) {
        size_t before = liveBlocks();
        arm(n);
        ReadResult r = readItems(tags, w.text, 9);
        arm(0);
        EXPECT_EQ(liveBlocks(), before) << "format " << format << ", allocation " << n;
        if (r.opened && r.ok && r.doneSeen) {
          EXPECT_EQ(r.items, whole.items);
          break;
        }
        // A failure never passes for the end of shorter data.
        EXPECT_FALSE(r.doneSeen) << "format " << format << ", allocation " << n;
        ASSERT_LT(n, 1000);
      }
      EXPECT_GT(n, 1);
    }
  }
}

TEST(Faults, FailingMallocIsReportedWhenWritingNames) {
  // Names beyond ASCII are checked with Expat, which allocates through the C
  // library.
  for (int format : {FORMAT_NAMED, FORMAT_INDEXED}) {
    auto tags = formatTags(format);
    std::vector<Item> items = tableFor(format);
    long n = 1;
    for (;; n++) {
      size_t before = liveBlocks();
      velloran::failMallocAfter(n);
      WriteResult r = writeItems(tags, items);
      velloran::failMallocAfter(0);
      EXPECT_EQ(liveBlocks(), before);
      if (allAccepted(r, items.size()))
        break;
      ASSERT_LT(n, 1000);
    }
    EXPECT_GT(n, 1);
  }
}

TEST(Faults, ReadingSerializerWithoutParserMemoryOpensNothing) {
  size_t before = liveBlocks();
  Stream s;
  auto tags = formatTags(FORMAT_ITEMS);
  velloran::failMallocAfter(1);
  EXPECT_EQ(plugin().InitSerializer(readStream, nullptr, &s, tags.data()), nullptr);
  velloran::failMallocAfter(0);
  velloran::failAllocMemAfter(1);
  EXPECT_EQ(plugin().InitSerializer(readStream, nullptr, &s, tags.data()), nullptr);
  velloran::failAllocMemAfter(0);
  EXPECT_EQ(liveBlocks(), before);
}

TEST(Faults, UnclosedDocumentTablesAreFreedWithoutWriting) {
  for (int format : {FORMAT_NAMED, FORMAT_INDEXED}) {
    std::vector<Item> items = tableFor(format);
    items.pop_back();
    size_t before = liveBlocks();
    WriteResult r = writeItems(formatTags(format), items);
    EXPECT_EQ(r.accepted, std::vector<int>(items.size(), 1));
    EXPECT_EQ(r.freed, 1);
    EXPECT_EQ(r.text, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n");
    EXPECT_EQ(liveBlocks(), before);
  }
}

TEST(Faults, EntryPointsRefuseWhatTheyCannotUse) {
  EXPECT_EQ(plugin().FreeSerializer(nullptr), 0);
  ItemValue key = {ITEM_STRING, const_cast<char *>("a"), 1}, value = {ITEM_TABLE, nullptr, 1};
  int done = 0;
  EXPECT_EQ(plugin().SerializeItem(nullptr, &key, &value), 0);
  EXPECT_EQ(plugin().DeserializeItem(nullptr, &key, &value, &done), 0);
  Stream s;
  auto tags = formatTags(FORMAT_ITEMS);
  void *writer = plugin().InitSerializer(nullptr, writeStream, &s, tags.data());
  EXPECT_EQ(plugin().DeserializeItem(writer, &key, &value, &done), 0);
  EXPECT_EQ(plugin().FreeSerializer(writer), 1);
  void *reader = plugin().InitSerializer(readStream, nullptr, &s, tags.data());
  EXPECT_EQ(plugin().SerializeItem(reader, &key, &value), 0);
  EXPECT_EQ(plugin().FreeSerializer(reader), 1);
  EXPECT_EQ(plugin().InitSerializer(nullptr, nullptr, &s, tags.data()), nullptr);
}

} // namespace

namespace {

// Texts whose escaped form would not fit in one write (more than 2^31-1
// bytes) fail their item instead of overflowing the size arithmetic.
TEST(Sizes, TextsTooLargeToEscapeFailTheirItem) {
  std::string huge(358000000, '&'); // 6 bytes each when escaped
  ItemValue value = {ITEM_STRING, &huge[0], static_cast<int32_t>(huge.size())};
  ItemValue key = {ITEM_STRING, const_cast<char *>("big"), 3};
  size_t before = liveBlocks();
  velloran::resetMemoryPeak();
  size_t base = velloran::memoryStats().bytes;

  Stream s;
  auto items = formatTags(FORMAT_ITEMS);
  void *writer = plugin().InitSerializer(nullptr, writeStream, &s, items.data());
  EXPECT_EQ(plugin().SerializeItem(writer, &key, &value), 0);
  EXPECT_EQ(plugin().FreeSerializer(writer), 1);
  EXPECT_LT(velloran::memoryStats().peak - base, 1024u * 1024) << "nothing huge was allocated";

  Stream d;
  auto indexed = formatTags(FORMAT_INDEXED);
  writer = plugin().InitSerializer(nullptr, writeStream, &d, indexed.data());
  double zero = 0;
  ItemValue index = {ITEM_NUMBER, &zero, 8}, begin = {ITEM_TABLE, nullptr, 1},
            end = {ITEM_TABLE, nullptr, 0};
  ItemValue nameKey = {ITEM_STRING, const_cast<char *>("name"), 4},
            name = {ITEM_STRING, const_cast<char *>("a"), 1},
            textKey = {ITEM_STRING, const_cast<char *>("text"), 4};
  EXPECT_EQ(plugin().SerializeItem(writer, &index, &begin), 1);
  EXPECT_EQ(plugin().SerializeItem(writer, &nameKey, &name), 1);
  EXPECT_EQ(plugin().SerializeItem(writer, &textKey, &value), 1);
  EXPECT_EQ(plugin().SerializeItem(writer, &index, &end), 0) << "the tree cannot be written";
  EXPECT_EQ(plugin().FreeSerializer(writer), 1);
  EXPECT_EQ(d.data, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n");
  EXPECT_EQ(liveBlocks(), before);
}

} // namespace
