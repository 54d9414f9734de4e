// The serializer as the host sees it: the plugin loaded by the stand-in
// host, memory streams for its read and write callbacks, and items as plain
// values that tests can write, read back and compare.
#ifndef TESTS_SERIALIZER_SUPPORT_H
#define TESTS_SERIALIZER_SUPPORT_H

#include <string.h>

#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/abi.h"
#include "tests/memory_stream.h"
#include "velloran/loader.h"
#include "velloran/services.h"

namespace sertest {

inline const velloran::Plugin &plugin() {
  static const velloran::Plugin *p = [] {
    std::string error;
    const velloran::Plugin *loaded = velloran::loadPlugin(PLUGIN_PATH, &error);
    if (!loaded)
      ADD_FAILURE() << error;
    return loaded;
  }();
  return *p;
}

using ::Stream;
using ::readStream;
using ::writeStream;

// One key or value.
struct Val {
  int32_t type = ITEM_TABLE;
  std::string bytes; // string and function bytes
  double number = 0;
  int32_t length = 0; // tables: 1 begins, 0 ends
  bool operator==(const Val &o) const {
    if (type != o.type)
      return false;
    if (type == ITEM_NUMBER)
      return number == o.number;
    if (type == ITEM_TABLE)
      return length == o.length;
    return bytes == o.bytes;
  }
};

inline Val S(const std::string &s) {
  Val v;
  v.type = ITEM_STRING;
  v.bytes = s;
  v.length = static_cast<int32_t>(s.size());
  return v;
}
inline Val N(double x) {
  Val v;
  v.type = ITEM_NUMBER;
  v.number = x;
  v.length = 8;
  return v;
}
inline Val F(const std::string &s) {
  Val v = S(s);
  v.type = ITEM_FUNCTION;
  return v;
}
inline Val BEGIN() {
  Val v;
  v.length = 1;
  return v;
}
inline Val END() {
  return Val();
}

struct Item {
  Val key, value;
  bool operator==(const Item &o) const {
    // A table end's key is not part of what the reader hands over.
    if (value.type == ITEM_TABLE && value.length == 0 && o.value == value)
      return true;
    return key == o.key && value == o.value;
  }
};

inline std::ostream &operator<<(std::ostream &out, const Val &v) {
  switch (v.type) {
  case ITEM_NUMBER:
    return out << v.number;
  case ITEM_STRING:
    return out << '"' << v.bytes << '"';
  case ITEM_FUNCTION:
    return out << "fn\"" << v.bytes << '"';
  case ITEM_TABLE:
    return out << (v.length ? "{" : "}");
  default:
    return out << "type " << v.type;
  }
}
inline std::ostream &operator<<(std::ostream &out, const Item &i) {
  return out << i.key << " = " << i.value;
}

inline ItemValue toItemValue(const Val &v) {
  ItemValue iv;
  iv.type = v.type;
  iv.length = v.length;
  switch (v.type) {
  case ITEM_NUMBER:
    iv.data = const_cast<double *>(&v.number);
    break;
  case ITEM_TABLE:
    iv.data = nullptr;
    break;
  default:
    iv.data = const_cast<char *>(v.bytes.c_str());
    iv.length = static_cast<int32_t>(v.bytes.size());
  }
  return iv;
}

inline Val fromItemValue(const ItemValue &iv) {
  Val v;
  v.type = iv.type;
  v.length = iv.length;
  if (iv.type == ITEM_NUMBER) {
    memcpy(&v.number, iv.data, sizeof v.number);
  } else if (iv.type != ITEM_TABLE && iv.length > 0) {
    v.bytes.assign(static_cast<const char *>(iv.data), static_cast<size_t>(iv.length));
  }
  return v;
}

// Tag lists are built from pairs; the terminator is added.
inline std::vector<TagItem> tagList(std::initializer_list<std::pair<uint32_t, uintptr_t>> pairs) {
  std::vector<TagItem> tags;
  for (auto &p : pairs)
    tags.push_back({p.first, p.second});
  tags.push_back({TAG_DONE, 0});
  return tags;
}

inline size_t liveBlocks() {
  return velloran::memoryStats().blocks;
}

// Writes the items; returns the stream text. `accepted` gets each item's
// result, `freed` FreeSerializer's. A null context gives an empty text and
// `opened` false.
struct WriteResult {
  bool opened = false;
  std::vector<int> accepted;
  int freed = -1;
  std::string text;
  long writes = 0;
};

inline WriteResult writeItems(const std::vector<TagItem> &tags, const std::vector<Item> &items,
                              long failWriteAt = 0) {
  WriteResult r;
  Stream s;
  s.failAt = failWriteAt;
  void *context = plugin().InitSerializer(nullptr, writeStream, &s, tags.data());
  if (context) {
    r.opened = true;
    for (const Item &item : items) {
      ItemValue key = toItemValue(item.key), value = toItemValue(item.value);
      r.accepted.push_back(plugin().SerializeItem(context, &key, &value));
    }
    r.freed = plugin().FreeSerializer(context);
  }
  r.text = s.data;
  r.writes = s.writes;
  return r;
}

// Reads items until done or failure; `ok` is false after a failure, and
// `doneSeen` tells that the end was reported.
struct ReadResult {
  bool opened = false;
  bool ok = true;
  bool doneSeen = false;
  std::vector<Item> items;
  int freed = -1;
};

inline ReadResult readItems(const std::vector<TagItem> &tags, const std::string &text,
                            int32_t chunk = 16384, size_t limit = 1000000) {
  ReadResult r;
  Stream s;
  s.data = text;
  s.chunk = chunk;
  void *context = plugin().InitSerializer(readStream, nullptr, &s, tags.data());
  if (!context)
    return r;
  r.opened = true;
  while (r.items.size() < limit) {
    ItemValue key = {-1, nullptr, 0}, value = {-1, nullptr, 0};
    int done = 0;
    if (!plugin().DeserializeItem(context, &key, &value, &done)) {
      r.ok = false;
      break;
    }
    if (done) {
      r.doneSeen = true;
      break;
    }
    r.items.push_back({fromItemValue(key), fromItemValue(value)});
  }
  r.freed = plugin().FreeSerializer(context);
  return r;
}

inline std::vector<TagItem> formatTags(int format) {
  return tagList({{SERTAG_FORMAT, static_cast<uintptr_t>(format)}});
}

} // namespace sertest

#endif
