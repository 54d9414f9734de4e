// Faults: every write call failing in turn, every AllocMem and every C
// library allocation failing in turn. Each must be reported (null or 0),
// and no tagged block may stay live after FreeSerializer.
#include <gtest/gtest.h>

#include "tests/serializer/support.h"

using namespace sertest;

namespace {

// Names beyond ASCII, so that Expat checks them (plain ASCII names are
// checked without a parser).
std::vector<Item> tableFor(int format) {
  const std::string attrs = "text='a & b' attrs={ 1={ key='k' value=7 } 0={ key='j' value='\"' } } ";
  switch (format) {
  case FORMAT_ITEMS:
    return I("title='Hello & welcome' n=42 t={ 1='" + std::string(100, '\x01') +
             "' 2=f'function bytes' } s='typed\r'");
  case FORMAT_NAMED:
    return I("doc={ " + attrs + "nodes={ ch\xc3\xafld={ text='x' } } }");
  default:
    return I("0={ name='doc' " + attrs + "nodes={ 0={ name='ch\xc3\xafld' text='x' } } }");
  }
}

void noFault(long) {}

// Every write, every AllocMem and every C library allocation (Expat's, which
// names beyond ASCII and every reader use) failing in turn, in every format.
TEST(Faults, EveryFailingWriteAndAllocationIsReported) {
  for (int format : {FORMAT_ITEMS, FORMAT_NAMED, FORMAT_INDEXED}) {
    auto tags = formatTags(format);
    std::vector<Item> items = tableFor(format);
    WriteResult whole = writeItems(tags, items);
    ASSERT_TRUE(whole.allAccepted());
    ReadResult read = readItems(tags, whole.text);
    ASSERT_TRUE(read.doneSeen);
    auto write = [&](long failWrite) {
      WriteResult r = writeItems(tags, items, failWrite);
      // Success is never reported for less than the whole text.
      if (r.allAccepted()) {
        EXPECT_EQ(r.text, whole.text) << "format " << format;
      }
      return r.allAccepted();
    };
    EXPECT_EQ(failEach(noFault, write), whole.writes) << "format " << format;
    EXPECT_GT(failEach(velloran::failAllocMemAfter, [&](long) { return write(0); }), 3);
    if (format != FORMAT_ITEMS) {
      EXPECT_GT(failEach(velloran::failMallocAfter, [&](long) { return write(0); }), 0);
    }
    for (auto arm : {velloran::failAllocMemAfter, velloran::failMallocAfter}) {
      // A failure never passes for the end of shorter data.
      EXPECT_GT(failEach(arm,
                         [&](long) {
                           ReadResult r = readItems(tags, whole.text, 9);
                           EXPECT_TRUE(r.bad.empty() && (!r.doneSeen || r.items == read.items))
                               << r.bad << r.doneSeen;
                           return r.doneSeen;
                         }),
                0)
          << "format " << format;
    }
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
