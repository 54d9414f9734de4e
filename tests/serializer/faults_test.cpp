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
  std::string attrs = "text='a & b' attrs={ 1={ key='k' value=7 } 0={ key='j' value='\"' } } ";
  if (format == FORMAT_ITEMS)
    return I("title='Hello & welcome' n=42 t={ 1='" + std::string(100, '\x01') +
             "' 2=f'function bytes' } s='typed\r'");
  if (format == FORMAT_NAMED)
    return I("doc={ " + attrs + "nodes={ ch\xc3\xafld={ text='x' } } }");
  return I("0={ name='doc' " + attrs + "nodes={ 0={ name='ch\xc3\xafld' text='x' } } }");
}

void noFault(long) {}

// Every write, every AllocMem and every C library allocation (Expat's, which
// names beyond ASCII and every reader use) failing in turn, in every format.
TEST(Faults, EveryFailingWriteAndAllocationIsReported) {
  for (int format : {FORMAT_ITEMS, FORMAT_NAMED, FORMAT_INDEXED}) {
    SCOPED_TRACE("format " + std::to_string(format));
    auto tags = formatTags(format);
    std::vector<Item> items = tableFor(format);
    WriteResult whole = writeItems(tags, items);
    ReadResult read = readItems(tags, whole.text);
    ASSERT_TRUE(whole.allAccepted() && read.doneSeen);
    auto write = [&](long failWrite) {
      WriteResult r = writeItems(tags, items, failWrite);
      // Success is never reported for less than the whole text.
      EXPECT_TRUE(!r.allAccepted() || r.text == whole.text);
      return r.allAccepted();
    };
    auto readInPieces = [&](long) {
      ReadResult r = readItems(tags, whole.text, 9);
      // A failure never passes for the end of shorter data.
      EXPECT_TRUE(r.bad.empty() && (!r.doneSeen || r.items == read.items)) << r.bad;
      return r.doneSeen;
    };
    EXPECT_EQ(failEach(noFault, write), whole.writes);
    EXPECT_GT(failEach(velloran::failAllocMemAfter, [&](long) { return write(0); }), 3);
    // The items writer needs no C library allocation; the document writers
    // do (Expat checks their names).
    long mallocs = failEach(velloran::failMallocAfter, [&](long) { return write(0); });
    EXPECT_TRUE(format == FORMAT_ITEMS ? mallocs == 0 : mallocs > 0) << mallocs;
    for (auto arm : {velloran::failAllocMemAfter, velloran::failMallocAfter})
      EXPECT_GT(failEach(arm, readInPieces), 0);
  }
}

// No context, a context of the other direction, no stream function, and a
// reader whose parser (C library) or context (AllocMem) cannot be allocated.
TEST(Faults, EntryPointsRefuseWhatTheyCannotUse) {
  size_t before = liveBlocks();
  ItemValue key = {ITEM_STRING, const_cast<char *>("a"), 1}, value = {ITEM_TABLE, nullptr, 1};
  int done = 0;
  Stream s;
  auto tags = formatTags(FORMAT_ITEMS);
  void *writer = plugin().InitSerializer(nullptr, writeStream, &s, tags.data());
  void *reader = plugin().InitSerializer(readStream, nullptr, &s, tags.data());
  EXPECT_EQ(plugin().FreeSerializer(nullptr), 0);
  EXPECT_EQ(plugin().SerializeItem(nullptr, &key, &value), 0);
  EXPECT_EQ(plugin().DeserializeItem(nullptr, &key, &value, &done), 0);
  EXPECT_EQ(plugin().DeserializeItem(writer, &key, &value, &done), 0);
  EXPECT_EQ(plugin().SerializeItem(reader, &key, &value), 0);
  EXPECT_EQ(plugin().FreeSerializer(writer), 1);
  EXPECT_EQ(plugin().FreeSerializer(reader), 1);
  EXPECT_EQ(plugin().InitSerializer(nullptr, nullptr, &s, tags.data()), nullptr);
  for (auto arm : {velloran::failMallocAfter, velloran::failAllocMemAfter}) {
    arm(1);
    EXPECT_EQ(plugin().InitSerializer(readStream, nullptr, &s, tags.data()), nullptr);
    arm(0);
  }
  EXPECT_EQ(liveBlocks(), before);
}

// Texts whose escaped form would not fit in one write (more than 2^31-1
// bytes) fail their item instead of overflowing the size arithmetic: in the
// items format at once, in the indexed format when the tree is written.
TEST(SlowSizes, TextsTooLargeToEscapeFailTheirItem) {
  std::vector<Item> tree = I("0={ name='a'");
  tree.push_back({S("text"), S(std::string(358000000, '&'))}); // 6 bytes each when escaped
  tree.push_back({N(0), END()});
  size_t before = liveBlocks();
  velloran::resetMemoryPeak();
  size_t base = velloran::memoryStats().bytes;
  WriteResult items = writeItems(formatTags(FORMAT_ITEMS), tree);
  EXPECT_LT(velloran::memoryStats().peak - base, 1024u * 1024) << "nothing huge was allocated";
  EXPECT_EQ(items.accepted, (std::vector<int>{1, 1, 0, 1}));
  WriteResult indexed = writeItems(formatTags(FORMAT_INDEXED), tree);
  EXPECT_EQ(indexed.accepted, (std::vector<int>{1, 1, 1, 0})) << "the tree cannot be written";
  EXPECT_EQ(indexed.text, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n");
  EXPECT_TRUE(items.freed == 1 && indexed.freed == 1);
  EXPECT_EQ(liveBlocks(), before);
}

} // namespace
