#include "fuzz/items.h"

#include <math.h>
#include <string.h>

#include "fuzz/support.h"

namespace fuzz {

bool Val::operator==(const Val &o) const {
  if (type != o.type)
    return false;
  if (type == ITEM_NUMBER)
    return number == o.number || (isnan(number) && isnan(o.number));
  if (type == ITEM_TABLE)
    return length == o.length;
  return bytes == o.bytes;
}

bool Item::operator==(const Item &o) const {
  if (value.type == ITEM_TABLE && value.length == 0 && o.value == value)
    return true;
  return key == o.key && value == o.value;
}

static std::string describe(const Val &v) {
  switch (v.type) {
  case ITEM_NUMBER:
    return std::to_string(v.number);
  case ITEM_STRING:
  case ITEM_FUNCTION: {
    std::string out = v.type == ITEM_STRING ? "\"" : "fn\"";
    for (unsigned char c : v.bytes) {
      char hex[8];
      snprintf(hex, sizeof hex, c < 32 || c > 126 ? "\\x%02x" : "%c", c);
      out += hex;
    }
    return out + "\"";
  }
  case ITEM_TABLE:
    return v.length ? "{" : "}";
  default:
    return "type " + std::to_string(v.type);
  }
}

std::string describe(const std::vector<Item> &items) {
  std::string out;
  for (const Item &item : items)
    out += "  " + describe(item.key) + " = " + describe(item.value) + "\n";
  return out;
}

int32_t readStream(void *buffer, int32_t size, void *handle) {
  Stream *s = static_cast<Stream *>(handle);
  size_t limit = s->end < s->data.size() ? s->end : s->data.size();
  size_t n = limit > s->position ? limit - s->position : 0;
  if (n > static_cast<size_t>(size))
    n = static_cast<size_t>(size);
  if (n > static_cast<size_t>(s->chunk))
    n = static_cast<size_t>(s->chunk);
  memcpy(buffer, s->data.data() + s->position, n);
  s->position += n;
  return static_cast<int32_t>(n);
}

int32_t writeStream(const void *buffer, int32_t length, void *handle) {
  Stream *s = static_cast<Stream *>(handle);
  if (length < 0 || (length > 0 && !buffer))
    fail("writeFunc", "handed a negative length or no bytes");
  s->data.append(static_cast<const char *>(buffer), static_cast<size_t>(length));
  return length;
}

const velloran::Plugin &plugin() {
  static const velloran::Plugin *loaded = nullptr;
  if (!loaded) {
    std::string error;
    loaded = velloran::loadPlugin(PLUGIN_PATH, &error);
    if (!loaded)
      fail("the plugin did not load", error.c_str());
  }
  return *loaded;
}

/* Copies an item handed over by the reader, checking what it points at. */
static Val take(const ItemValue &v, bool isKey) {
  Val out;
  out.type = v.type;
  out.length = v.length;
  switch (v.type) {
  case ITEM_NUMBER:
    if (!v.data)
      fail("reader", "a number without data");
    memcpy(&out.number, v.data, sizeof out.number);
    break;
  case ITEM_STRING:
  case ITEM_FUNCTION:
    if (v.length < 0 || (v.length > 0 && !v.data) || (isKey && v.type == ITEM_FUNCTION))
      fail("reader", "a string or function with a bad length or no data");
    if (v.length > 0)
      out.bytes.assign(static_cast<const char *>(v.data), static_cast<size_t>(v.length));
    break;
  case ITEM_TABLE:
    if (isKey || (v.length != 0 && v.length != 1))
      fail("reader", "a table key or a table marker other than 0 or 1");
    break;
  default:
    fail("reader", "an item of an unknown type");
  }
  return out;
}

ReadResult readAll(const TagItem *tags, Stream *stream, size_t limit) {
  ReadResult r;
  void *context = plugin().InitSerializer(readStream, nullptr, stream, tags);
  if (!context)
    return r;
  r.opened = true;
  while (r.items.size() < limit) {
    ItemValue key = {-1, nullptr, 0}, value = {-1, nullptr, 0};
    int done = 0;
    if (!plugin().DeserializeItem(context, &key, &value, &done)) {
      r.ok = false;
      /* Asking again after a failure must not crash. */
      plugin().DeserializeItem(context, &key, &value, &done);
      break;
    }
    if (done) {
      r.done = true;
      break;
    }
    Item item;
    bool tableEnd = value.type == ITEM_TABLE && value.length == 0;
    item.value = take(value, false);
    if (!tableEnd)
      item.key = take(key, true);
    r.items.push_back(item);
  }
  if (plugin().FreeSerializer(context) != 1)
    fail("reader", "FreeSerializer of a reading serializer did not answer 1");
  return r;
}

} // namespace fuzz
