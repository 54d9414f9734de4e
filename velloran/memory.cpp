/*
 * AllocMem and FreeMem: tagged memory with accounting. Each block carries a
 * small header (its size and its tag's entry) in front of the caller's
 * bytes; the host keeps live bytes and blocks per tag and the peak of live
 * bytes, and can be told to fail a chosen AllocMem call.
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <string_view>

#include "velloran/services.h"
#include "velloran/slots.h"

namespace velloran {

namespace {

struct TagTotals {
  size_t bytes;
  size_t blocks;
};

/* Tag names are kept by value: callers may pass any text. std::map nodes
   never move, so a block can point at its tag's totals. */
std::map<std::string, TagTotals, std::less<>> tags;

const uint32_t BLOCK_MAGIC = 0x564d454du; /* "VMEM" */

union BlockHeader {
  struct {
    size_t size;
    TagTotals *totals;
    uint32_t magic;
  } h;
  max_align_t align;
};

size_t liveBytes, liveBlocks, peakBytes;
long allocCountdown;

/* Callers pass the same few tag texts over and over: remember where each
   text pointer led (checked against the text, which may have changed). */
struct TagCacheEntry {
  const char *tag;
  std::map<std::string, TagTotals, std::less<>>::iterator entry;
};
TagCacheEntry tagCache[16];

TagTotals *totalsOf(const char *tag) {
  std::string_view name(tag ? tag : "");
  TagCacheEntry &cached = tagCache[(reinterpret_cast<uintptr_t>(tag) >> 3) % 16];
  if (cached.tag == tag && tag && cached.entry->first == name)
    return &cached.entry->second;
  auto it = tags.find(name);
  if (it == tags.end())
    it = tags.emplace(std::string(name), TagTotals{0, 0}).first;
  cached = {tag, it};
  return &it->second;
}

} // namespace

void failAllocMemAfter(long n) {
  allocCountdown = n > 0 ? n : 0;
}

void *allocMem(size_t size, int clear, const char *tag) {
  if (allocCountdown > 0 && --allocCountdown == 0)
    return nullptr;
  if (size > SIZE_MAX - sizeof(BlockHeader))
    return nullptr;
  BlockHeader *header = static_cast<BlockHeader *>(malloc(sizeof(BlockHeader) + size));
  if (!header)
    return nullptr;
  if (clear)
    memset(header + 1, 0, size);
  header->h.size = size;
  header->h.totals = totalsOf(tag);
  header->h.magic = BLOCK_MAGIC;
  header->h.totals->bytes += size;
  header->h.totals->blocks++;
  liveBytes += size;
  liveBlocks++;
  if (liveBytes > peakBytes)
    peakBytes = liveBytes;
  return header + 1;
}

void freeMem(void *block) {
  if (!block)
    return;
  BlockHeader *header = static_cast<BlockHeader *>(block) - 1;
  if (header->h.magic != BLOCK_MAGIC) {
    /* Not an AllocMem block, or freed twice: stop before the heap breaks. */
    fprintf(stderr, "velloran: FreeMem of a block that AllocMem did not hand out (%p)\n", block);
    abort();
  }
  header->h.magic = 0;
  header->h.totals->bytes -= header->h.size;
  header->h.totals->blocks--;
  liveBytes -= header->h.size;
  liveBlocks--;
  free(header);
}

MemoryStats memoryStats() {
  MemoryStats stats{liveBytes, liveBlocks, peakBytes, {}};
  for (const auto &entry : tags)
    if (entry.second.blocks > 0)
      stats.tags[entry.first] = entry.second.bytes;
  return stats;
}

void visitMemoryTags(void (*visit)(void *context, const char *tag, size_t bytes), void *context) {
  for (const auto &entry : tags)
    if (entry.second.blocks > 0)
      visit(context, entry.first.c_str(), entry.second.bytes);
}

void resetMemoryPeak() {
  peakBytes = liveBytes;
}

} // namespace velloran
