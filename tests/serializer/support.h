// The serializer as the host drives it, for the tests and the fuzz targets:
// the plugin loaded by the stand-in host, memory streams (chunked reads,
// early ends, failing writes), items as plain values (NaN equal to NaN),
// write and read loops that check what the reader hands over, and failEach,
// the fail-every-point loop with its leak check.
#ifndef TESTS_SERIALIZER_SUPPORT_H
#define TESTS_SERIALIZER_SUPPORT_H

#include <ctype.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

// Tests get Google Test with it; the fuzz targets define SERTEST_NO_GTEST.
#ifndef SERTEST_NO_GTEST
#include <gtest/gtest.h>
#endif

#include "host/abi.h"
#include "velloran/loader.h"
#include "velloran/services.h"

// Writes append to `data` (the failAt-th write call fails, 1 = the first);
// reads hand out at most `chunk` bytes at a time, nothing past `end`, or
// `readResult` when set. `reads` and `writes` count the calls.
struct Stream {
  std::string data;
  size_t position = 0;
  size_t end = std::string::npos;
  int32_t chunk = 16384;
  int32_t readResult = 0;
  long reads = 0;
  long writes = 0;
  long failAt = 0;
  bool badWrite = false; // a write with a negative length or no bytes
};

inline int32_t writeStream(const void *buffer, int32_t length, void *handle) {
  Stream *s = static_cast<Stream *>(handle);
  if (length < 0 || (length > 0 && !buffer)) {
    s->badWrite = true;
    return -1;
  }
  if (++s->writes == s->failAt)
    return length > 0 ? length - 1 : -1;
  s->data.append(static_cast<const char *>(buffer), static_cast<size_t>(length));
  return length;
}

inline int32_t readStream(void *buffer, int32_t size, void *handle) {
  Stream *s = static_cast<Stream *>(handle);
  s->reads++;
  if (s->readResult)
    return s->readResult;
  size_t limit = std::min(s->end, s->data.size());
  size_t n = std::min({limit > s->position ? limit - s->position : 0, static_cast<size_t>(size),
                       static_cast<size_t>(s->chunk)});
  memcpy(buffer, s->data.data() + s->position, n);
  s->position += n;
  return static_cast<int32_t>(n);
}

namespace sertest {

inline const velloran::Plugin &plugin() {
  static std::string error;
  static const velloran::Plugin *loaded = velloran::loadPlugin(PLUGIN_PATH, &error);
  if (!loaded) {
    fprintf(stderr, "%s\n", error.c_str());
    abort();
  }
  return *loaded;
}

// One key or value. Tables: length 1 begins, 0 ends.
struct Val {
  int32_t type = ITEM_TABLE;
  std::string bytes; // string and function bytes
  double number = 0;
  int32_t length = 0;
  bool operator==(const Val &o) const {
    if (type == ITEM_NUMBER && o.type == ITEM_NUMBER)
      return number == o.number || (isnan(number) && isnan(o.number));
    return type == o.type && (type == ITEM_TABLE ? length == o.length : bytes == o.bytes);
  }
};

inline Val S(const std::string &s, int32_t type = ITEM_STRING) {
  return {type, s, 0, static_cast<int32_t>(s.size())};
}
inline Val N(double x) {
  return {ITEM_NUMBER, "", x, 8};
}
inline Val BEGIN() {
  return {ITEM_TABLE, "", 0, 1};
}
inline Val END() {
  return {};
}

struct Item {
  Val key, value;
  bool operator==(const Item &o) const {
    // A table end's key is not part of what the reader hands over.
    return (key == o.key || (value.type == ITEM_TABLE && value.length == 0)) && value == o.value;
  }
};

// Items as text: `key=value` pairs, `}` ending the latest table. Keys and
// values are numbers, 'strings', f'function bytes' or (keys only) bare
// names; a value `{` begins a table. In quotes \0 is a zero byte and a
// backslash takes the next character as it is.
inline std::vector<Item> I(const std::string &text) {
  std::vector<Item> items;
  std::vector<Val> open;
  size_t i = 0;
  auto scalar = [&](char stop) {
    int type = text[i] == 'f' && text[i + 1] == '\'' ? (i++, ITEM_FUNCTION) : ITEM_STRING;
    std::string s;
    if (text[i] != '\'') {
      s = text.substr(i, text.find(stop, i) - i);
      i += s.size();
      char *rest;
      double x = strtod(s.c_str(), &rest);
      return !s.empty() && !*rest ? N(x) : S(s);
    }
    for (i++; text[i] != '\''; i++)
      s += text[i] == '\\' ? (text[++i] == '0' ? '\0' : text[i]) : text[i];
    i++;
    return S(s, type);
  };
  while (i < text.size()) {
    if (text[i] == '}') {
      items.push_back({open.back(), END()});
      open.pop_back();
    } else if (!isspace(static_cast<unsigned char>(text[i]))) {
      Val key = scalar('=');
      if (text[++i] != '{') {
        items.push_back({key, scalar(' ')});
        continue;
      }
      open.push_back(key);
      items.push_back({key, BEGIN()});
    }
    i++;
  }
  return items;
}

// Items printed in the notation of I(), bytes outside ASCII as \x escapes.
inline std::ostream &operator<<(std::ostream &out, const Val &v) {
  if (v.type == ITEM_NUMBER || v.type == ITEM_TABLE)
    return v.type == ITEM_TABLE ? out << (v.length ? "{" : "}") : out << v.number;
  if (v.type != ITEM_STRING && v.type != ITEM_FUNCTION)
    return out << "(type " << v.type << ")";
  out << (v.type == ITEM_FUNCTION ? "f'" : "'");
  for (unsigned char c : v.bytes) {
    char text[8];
    snprintf(text, sizeof text, c < 32 || c > 126 ? "\\x%02x" : "%c", c);
    out << text;
  }
  return out << "'";
}
inline std::ostream &operator<<(std::ostream &out, const Item &i) {
  return out << i.key << "=" << i.value;
}
inline std::string describe(const std::vector<Item> &items) {
  std::ostringstream out;
  for (const Item &item : items)
    out << "  " << item << "\n";
  return out.str();
}

inline ItemValue toItemValue(const Val &v) {
  const void *data = v.type == ITEM_NUMBER ? static_cast<const void *>(&v.number) : v.bytes.c_str();
  return {v.type, v.type == ITEM_TABLE ? nullptr : const_cast<void *>(data), v.length};
}

// Copies what the reader handed over; *bad names what is wrong with it.
inline Val fromItemValue(const ItemValue &v, bool isKey, std::string *bad) {
  Val out = {v.type, "", 0, v.length};
  if (v.type == ITEM_NUMBER && v.data)
    memcpy(&out.number, v.data, sizeof out.number);
  else if ((v.type == ITEM_STRING || v.type == ITEM_FUNCTION) && v.length >= 0 &&
           (v.data || v.length == 0) && !(isKey && v.type == ITEM_FUNCTION))
    out.bytes.assign(v.length ? static_cast<const char *>(v.data) : "",
                     static_cast<size_t>(v.length));
  else if (!(v.type == ITEM_TABLE && !isKey && (v.length == 0 || v.length == 1)))
    *bad = "malformed item of type " + std::to_string(v.type);
  return out;
}

// Tag lists are built from pairs; the terminator is added.
inline std::vector<TagItem> tagList(std::initializer_list<std::pair<uint32_t, uintptr_t>> pairs) {
  std::vector<TagItem> tags;
  for (auto &p : pairs)
    tags.push_back({p.first, p.second});
  tags.push_back({TAG_DONE, 0});
  return tags;
}
inline std::vector<TagItem> formatTags(int format, const Option *options = nullptr) {
  return tagList({{SERTAG_FORMAT, static_cast<uintptr_t>(format)},
                  {SERTAG_OPTIONS, reinterpret_cast<uintptr_t>(options)}});
}

inline size_t liveBlocks() {
  return velloran::memoryStats().blocks;
}

// What a writing loop saw: each item's result, FreeSerializer's, the text.
struct WriteResult {
  bool opened = false;
  std::vector<int> accepted;
  int freed = -1;
  std::string text;
  long writes = 0;
  bool allAccepted() const {
    return opened && freed == 1 &&
           std::count(accepted.begin(), accepted.end(), 1) == long(accepted.size());
  }
};

inline WriteResult writeItems(const std::vector<TagItem> &tags, const std::vector<Item> &items,
                              long failWriteAt = 0) {
  std::vector<int> accepted;
  Stream s;
  s.failAt = failWriteAt;
  // An empty tag list stands for no tags at all.
  void *context =
      plugin().InitSerializer(nullptr, writeStream, &s, tags.empty() ? nullptr : tags.data());
  for (size_t i = 0; context && i < items.size(); i++) {
    ItemValue key = toItemValue(items[i].key), value = toItemValue(items[i].value);
    accepted.push_back(plugin().SerializeItem(context, &key, &value));
  }
  int freed = context ? plugin().FreeSerializer(context) : -1;
  return {context != nullptr, accepted, freed, s.data, s.writes};
}

// What a reading loop saw: `ok` is false after a failure, `doneSeen` tells
// that the end was reported, `count` how many items were handed over (the
// first `keep` of them are in `items`), `bad` names a malformed one.
struct ReadResult {
  bool opened = false;
  bool ok = true;
  bool doneSeen = false;
  std::vector<Item> items;
  size_t count = 0;
  int freed = -1;
  std::string bad;
};

// Reads until done or failure. After a failure the reader is asked once
// more, and must fail again.
inline ReadResult readStreamItems(const std::vector<TagItem> &tags, Stream *stream,
                                  size_t keep = SIZE_MAX) {
  ReadResult r;
  void *context = plugin().InitSerializer(readStream, nullptr, stream, tags.data());
  r.opened = context != nullptr;
  for (int done = 0; context; r.count++) {
    ItemValue key = {-1, nullptr, 0}, value = {-1, nullptr, 0};
    r.ok = plugin().DeserializeItem(context, &key, &value, &done) != 0;
    r.doneSeen = r.ok && done;
    if (!r.ok && plugin().DeserializeItem(context, &key, &value, &done))
      r.bad = "an item after a failure";
    if (!r.ok || done)
      break;
    Item item = {Val(), fromItemValue(value, false, &r.bad)};
    if (!(value.type == ITEM_TABLE && value.length == 0))
      item.key = fromItemValue(key, true, &r.bad);
    if (r.items.size() < keep)
      r.items.push_back(item);
  }
  r.freed = context ? plugin().FreeSerializer(context) : -1;
  return r;
}

inline ReadResult readItems(const std::vector<TagItem> &tags, const std::string &text,
                            int32_t chunk = 16384, size_t keep = SIZE_MAX) {
  Stream s;
  s.data = text;
  s.chunk = chunk;
  return readStreamItems(tags, &s, keep);
}

// The fail-every-point loop: for n = 1, 2, ... arms the n-th failure with
// arm(n), runs, disarms with arm(0), and requires every AllocMem block of
// the run freed. run(n) answers whether it completed untouched; the loop
// ends there. Returns the number of failure points before that run, or -n
// when run n leaked (or, for n = most + 1, never completed).
inline long failEach(const std::function<void(long)> &arm, const std::function<bool(long)> &run,
                     long most = 10000) {
  for (long n = 1; n <= most; n++) {
    size_t before = liveBlocks();
    arm(n);
    bool completed = run(n);
    arm(0);
    if (liveBlocks() != before)
      return -n;
    if (completed)
      return n - 1;
  }
  return -(most + 1);
}

} // namespace sertest

#endif
