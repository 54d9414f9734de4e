// Size and depth: the item reader streams in bounded memory, a document
// nested a million levels deep reads and frees in linear time, and deep
// trees are written and freed without deep recursion.
#include <pthread.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/serializer/support.h"

using namespace sertest;

namespace {

const std::vector<TagItem> ITEMS = formatTags(FORMAT_ITEMS);

std::string flatStream(int count) {
  std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<root>\n";
  for (int i = 1; i <= count; i++) {
    std::string n = std::to_string(i);
    if (i % 3 == 0)
      text += "\t<item." + n + ">" + n + "</item." + n + ">\n";
    else if (i % 3 == 1)
      text += "\t<item." + n + ">value " + n + "</item." + n + ">\n";
    else
      text += "\t<item." + n + " type=\"binary\">AAECAwQF</item." + n + ">\n";
  }
  return text + "</root>\n";
}

struct StreamStats {
  size_t items = 0;
  size_t peak = 0; // live tagged bytes above the level before opening
  bool ok = true;
};

StreamStats readStreaming(const std::string &text) {
  StreamStats stats;
  Stream s;
  s.data = text;
  size_t base = velloran::memoryStats().bytes;
  velloran::resetMemoryPeak();
  void *context = plugin().InitSerializer(readStream, nullptr, &s, ITEMS.data());
  for (;;) {
    ItemValue key, value;
    int done = 0;
    if (!plugin().DeserializeItem(context, &key, &value, &done)) {
      stats.ok = false;
      break;
    }
    if (done)
      break;
    double k;
    memcpy(&k, key.data, sizeof k);
    if (key.type != ITEM_NUMBER || k != static_cast<double>(stats.items + 1))
      stats.ok = false;
    stats.items++;
  }
  stats.peak = velloran::memoryStats().peak - base;
  plugin().FreeSerializer(context);
  return stats;
}

TEST(Streaming, FlatItemStreamKeepsBoundedMemory) {
  StreamStats small = readStreaming(flatStream(10000));
  StreamStats large = readStreaming(flatStream(100000));
  EXPECT_TRUE(small.ok);
  EXPECT_TRUE(large.ok);
  EXPECT_EQ(small.items, 10000u);
  EXPECT_EQ(large.items, 100000u);
  // The context with its 16384-byte input buffer, the root, one item and
  // its text (which grows by 16384 bytes where it straddles two reads).
  EXPECT_LT(large.peak, 40u * 1024) << "peak of live tagged bytes";
  EXPECT_LE(large.peak, small.peak + 64) << "memory must not grow with the stream";
  printf("[ figures  ] peak live tagged bytes: %zu for 10,000 items, %zu for 100,000 items\n",
         small.peak, large.peak);
}

// Reads a document nested depth levels deep without keeping the items;
// returns the number of items, or 0 on a failure.
size_t readDeep(int format, int depth, double *seconds) {
  std::string text;
  if (format == FORMAT_ITEMS)
    text += "<root>";
  text.reserve(static_cast<size_t>(depth) * 7 + 32);
  for (int i = 0; i < depth; i++)
    text += "<a>";
  text += "1";
  for (int i = 0; i < depth; i++)
    text += "</a>";
  if (format == FORMAT_ITEMS)
    text += "</root>";
  auto tags = formatTags(format);
  Stream s;
  s.data = text;
  size_t before = liveBlocks();
  auto start = std::chrono::steady_clock::now();
  void *context = plugin().InitSerializer(readStream, nullptr, &s, tags.data());
  size_t items = 0;
  int beginsAtTop = 0;
  for (;;) {
    ItemValue key, value;
    int done = 0;
    if (!plugin().DeserializeItem(context, &key, &value, &done)) {
      items = 0;
      break;
    }
    if (done)
      break;
    if (value.type == ITEM_TABLE && value.length == 1 && items < static_cast<size_t>(depth))
      beginsAtTop++;
    items++;
  }
  EXPECT_EQ(plugin().FreeSerializer(context), 1);
  *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(liveBlocks(), before);
  if (format == FORMAT_ITEMS) {
    EXPECT_EQ(beginsAtTop, depth - 1) << "every element but the innermost opens a table";
  }
  return items;
}

TEST(Depth, MillionLevelDocumentReadsAndFreesInLinearTime) {
  double quarter, whole;
  // The item format: depth-1 table begins, the number, depth-1 table ends.
  EXPECT_EQ(readDeep(FORMAT_ITEMS, 250000, &quarter), 2u * 250000 - 1);
  EXPECT_EQ(readDeep(FORMAT_ITEMS, 1000000, &whole), 2u * 1000000 - 1);
  printf("[ figures  ] item format, depth 250,000: %.2f s; depth 1,000,000: %.2f s\n", quarter,
         whole);
  EXPECT_LT(whole, 10 * quarter + 1.0) << "reading time must grow linearly with the depth";

  // The document format: eight items per element.
  EXPECT_EQ(readDeep(FORMAT_INDEXED, 250000, &quarter), 8u * 250000);
  EXPECT_EQ(readDeep(FORMAT_INDEXED, 1000000, &whole), 8u * 1000000);
  printf("[ figures  ] indexed format, depth 250,000: %.2f s; depth 1,000,000: %.2f s\n", quarter,
         whole);
  EXPECT_LT(whole, 10 * quarter + 1.0);
}

// Writes and frees an indexed document `depth` levels deep on a thread
// with a small stack, where one frame per level would not fit.
struct DeepWrite {
  int depth;
  int accepted = 0;
  int freed = 0;
  size_t lines = 0;
};

void *writeDeep(void *argument) {
  DeepWrite *job = static_cast<DeepWrite *>(argument);
  Stream s;
  auto tags = formatTags(FORMAT_INDEXED);
  void *context = plugin().InitSerializer(nullptr, writeStream, &s, tags.data());
  double zero = 0;
  ItemValue index = {ITEM_NUMBER, &zero, 8}, begin = {ITEM_TABLE, nullptr, 1},
            end = {ITEM_TABLE, nullptr, 0};
  ItemValue nameKey = {ITEM_STRING, const_cast<char *>("name"), 4},
            name = {ITEM_STRING, const_cast<char *>("a"), 1};
  ItemValue nodesKey = {ITEM_STRING, const_cast<char *>("nodes"), 5};
  for (int i = 0; i < job->depth; i++)
    job->accepted += plugin().SerializeItem(context, &index, &begin) +
                     plugin().SerializeItem(context, &nameKey, &name) +
                     plugin().SerializeItem(context, &nodesKey, &begin);
  for (int i = 0; i < job->depth; i++)
    job->accepted += plugin().SerializeItem(context, &nodesKey, &end) +
                     plugin().SerializeItem(context, &index, &end);
  job->freed = plugin().FreeSerializer(context);
  for (char c : s.data)
    job->lines += c == '\n';
  return nullptr;
}

TEST(Depth, DeepTreeWritesAndFreesOnASmallStack) {
  DeepWrite job;
  job.depth = 5000;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 256 * 1024);
  pthread_t thread;
  size_t before = liveBlocks();
  ASSERT_EQ(pthread_create(&thread, &attributes, writeDeep, &job), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  EXPECT_EQ(job.accepted, 5 * job.depth);
  EXPECT_EQ(job.freed, 1);
  EXPECT_EQ(job.lines, 1u + 2u * (job.depth - 1) + 1u);
  EXPECT_EQ(liveBlocks(), before);

  // An unwritten deep tree is freed on a small stack too.
  DeepWrite unfinished;
  unfinished.depth = 100000;
  struct Half {
    static void *run(void *argument) {
      DeepWrite *job = static_cast<DeepWrite *>(argument);
      Stream s;
      auto tags = formatTags(FORMAT_INDEXED);
      void *context = plugin().InitSerializer(nullptr, writeStream, &s, tags.data());
      double zero = 0;
      ItemValue index = {ITEM_NUMBER, &zero, 8}, begin = {ITEM_TABLE, nullptr, 1};
      ItemValue nodesKey = {ITEM_STRING, const_cast<char *>("nodes"), 5};
      for (int i = 0; i < job->depth; i++)
        job->accepted += plugin().SerializeItem(context, &index, &begin) +
                         plugin().SerializeItem(context, &nodesKey, &begin);
      job->freed = plugin().FreeSerializer(context);
      return nullptr;
    }
  };
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 256 * 1024);
  ASSERT_EQ(pthread_create(&thread, &attributes, Half::run, &unfinished), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  EXPECT_EQ(unfinished.accepted, 2 * unfinished.depth);
  EXPECT_EQ(unfinished.freed, 1);
  EXPECT_EQ(liveBlocks(), before);
}

} // namespace
