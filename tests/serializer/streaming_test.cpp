// Size and depth: the readers stream in bounded memory and few reads, and
// deep trees are written and freed on a small stack.
#include <pthread.h>

#include <gtest/gtest.h>

#include "tests/serializer/support.h"

using namespace sertest;

namespace {

// Peak of live tagged bytes above the level before reading `count` items of
// numbers, strings and binary.
size_t streamingPeak(int count) {
  std::vector<Item> items;
  for (int i = 1; i <= count; i++)
    items.push_back({N(i), i % 3 == 0   ? N(i)
                           : i % 3 == 1 ? S("value " + std::to_string(i))
                                        : S(std::string("\0\1\2\3\4\5", 6))});
  std::string text = writeItems(formatTags(FORMAT_ITEMS), items).text;
  size_t base = velloran::memoryStats().bytes;
  velloran::resetMemoryPeak();
  EXPECT_EQ(readItems(formatTags(FORMAT_ITEMS), text, 16384, 0).count, static_cast<size_t>(count));
  return velloran::memoryStats().peak - base;
}

TEST(SlowStreaming, FlatItemStreamKeepsBoundedMemory) {
  size_t small = streamingPeak(10000), large = streamingPeak(100000);
  // The context with its 16384-byte input buffer, the root, one item and
  // its text (which grows by 16384 bytes where it straddles two reads).
  EXPECT_LT(large, 40u * 1024);
  EXPECT_LE(large, small + 64) << "memory must not grow with the stream";
}

// Writes (or, unfinished, only builds) an indexed tree `depth` levels deep
// and frees it, on a thread whose small stack one frame per level would
// overflow.
struct DeepWrite {
  int depth;
  bool finish;
  WriteResult result;
};

void *writeDeep(void *argument) {
  DeepWrite *job = static_cast<DeepWrite *>(argument);
  std::vector<Item> items;
  for (int i = 0; i < job->depth; i++)
    items.insert(items.end(), {{N(0), BEGIN()}, {S("name"), S("a")}, {S("nodes"), BEGIN()}});
  for (int i = 0; job->finish && i < job->depth; i++)
    items.insert(items.end(), {{S("nodes"), END()}, {N(0), END()}});
  job->result = writeItems(formatTags(FORMAT_INDEXED), items);
  return nullptr;
}

TEST(SlowDepth, DeepTreeWritesAndFreesOnASmallStack) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 256 * 1024);
  for (DeepWrite job : {DeepWrite{5000, true, {}}, DeepWrite{100000, false, {}}}) {
    SCOPED_TRACE(job.finish ? "5000 levels, closed" : "100000 levels, left open");
    pthread_t thread;
    size_t before = liveBlocks();
    ASSERT_EQ(pthread_create(&thread, &attributes, writeDeep, &job), 0);
    pthread_join(thread, nullptr);
    EXPECT_TRUE(job.result.allAccepted());
    EXPECT_EQ(std::count(job.result.text.begin(), job.result.text.end(), '\n'),
              job.finish ? 2 * job.depth : 1);
    EXPECT_EQ(liveBlocks(), before);
  }
  pthread_attr_destroy(&attributes);
}

// Long tokens are read in pieces that grow while the token stays open (a
// fixed piece size makes Expat scan the token again for every piece).
TEST(SlowLongTokens, PiecesGrowWhileATokenStaysOpen) {
  const std::string big(8 << 20, 'v');
  const std::pair<int, std::string> documents[] = {
      {FORMAT_NAMED, "<e a=\"" + big + "\"/>"},
      {FORMAT_ITEMS, "<root><!--" + big + "--><v>1</v></root>"}};
  for (const auto &document : documents) {
    SCOPED_TRACE(document.first == FORMAT_NAMED ? "a long attribute" : "a long comment");
    Stream s;
    s.data = document.second;
    s.chunk = INT32_MAX;
    ReadResult r = readStreamItems(formatTags(document.first), &s, 0);
    EXPECT_TRUE(r.doneSeen && r.freed == 1);
    // 8 MiB in pieces of 16 KiB would take 512 reads.
    EXPECT_LT(s.reads, 40);
  }
}

} // namespace
