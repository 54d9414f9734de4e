// Items as plain values, memory streams for the serializer's callbacks, and
// the write and read loops that the serializer targets share.
#ifndef VELLORAN_FUZZ_ITEMS_H
#define VELLORAN_FUZZ_ITEMS_H

#include <string>
#include <vector>

#include "host/abi.h"
#include "velloran/loader.h"

namespace fuzz {

struct Val {
  int32_t type = ITEM_TABLE;
  std::string bytes; /* strings and functions */
  double number = 0;
  int32_t length = 0; /* tables: 1 begins, 0 ends; else what is handed over */
  bool operator==(const Val &o) const;
};

struct Item {
  Val key, value;
  /* A table end's key is not part of what the reader hands over. */
  bool operator==(const Item &o) const;
};

std::string describe(const std::vector<Item> &items);

/* A memory stream: writes append; reads hand out at most `chunk` bytes at a
   time, and nothing once `end` bytes have been read. */
struct Stream {
  std::string data;
  size_t position = 0;
  size_t end = std::string::npos;
  int32_t chunk = 16384;
};

int32_t readStream(void *buffer, int32_t size, void *handle);
int32_t writeStream(const void *buffer, int32_t length, void *handle);

const velloran::Plugin &plugin();

/* What a reading loop saw. */
struct ReadResult {
  bool opened = false;
  bool ok = true;
  bool done = false;
  std::vector<Item> items;
};

/* Reads until done, failure or `limit` items, touching every byte handed
   over; FreeSerializer must answer 1. */
ReadResult readAll(const TagItem *tags, Stream *stream, size_t limit);

} // namespace fuzz

#endif
