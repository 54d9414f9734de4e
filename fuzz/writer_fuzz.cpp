// The writer under hostile item sequences: the input is decoded into items
// (keys of every kind, numbers including the non-finite ones, strings with
// any bytes, functions, unbalanced table markers, unknown types), written
// in each format. Whatever the writer accepts must be readable: in the item
// format it reads back as exactly the accepted items; in the document
// formats a completed document reads back without failure.
#include <math.h>
#include <string.h>

#include "fuzz/support.h"
#define SERTEST_NO_GTEST
#include "tests/serializer/support.h"

namespace {

using sertest::Item;
using sertest::N;
using sertest::S;
using sertest::Val;

const char *const WORDS[] = {"name", "text", "attrs", "nodes", "key", "value", "a",
                             "item", "root", "_x9",   "Zz",    "t",   "é",     nullptr};
const char *const TEXTS[] = {"",     " ",    "\t\n", "12",   "-x",   ".5",           "<&>'\"",
                             "a\rb", "\r\n", "\x01", "\x7f", "\xc3", "\xef\xbf\xbe", "]]>",
                             "x y",  nullptr};

int count(const char *const *list) {
  int n = 0;
  while (list[n])
    n++;
  return n;
}

double numberFrom(fuzz::Bytes &in) {
  static const double SPECIAL[] = {0.0,   -0.0,         0.5,           -2.5,
                                   1e300, 1e-300,       INFINITY,      -INFINITY,
                                   NAN,   2147483648.0, -2147483649.0, 1e15 + 0.3};
  unsigned b = in.next();
  if (b < 12)
    return SPECIAL[b];
  return static_cast<double>(static_cast<int>(b) - 140) * (in.next() % 4 == 0 ? 1000003 : 1);
}

std::string bytesFrom(fuzz::Bytes &in, unsigned maxLength) {
  unsigned n = in.next() % (maxLength + 1);
  std::string out;
  for (unsigned i = 0; i < n && !in.empty(); i++)
    out += static_cast<char>(in.next());
  return out;
}

Item itemFrom(fuzz::Bytes &in) {
  unsigned op = in.next();
  Item item;
  switch (op & 3) {
  case 0:
    item.key = N(static_cast<int>(in.next()) - 8);
    break;
  case 1:
    item.key = S(WORDS[in.next() % count(WORDS)]);
    break;
  case 2:
    item.key = N(numberFrom(in));
    break;
  default:
    item.key = S(bytesFrom(in, 8));
  }
  switch (op >> 2 & 7) {
  case 0:
    item.value = N(numberFrom(in));
    break;
  case 1:
    item.value = S(bytesFrom(in, 40));
    break;
  case 2:
  case 6:
    item.value = sertest::BEGIN();
    break;
  case 3:
    item.value = sertest::END();
    break;
  case 4:
    item.value = S(bytesFrom(in, 90), ITEM_FUNCTION);
    break;
  case 5:
    item.value = S(TEXTS[in.next() % count(TEXTS)]);
    break;
  default:
    item.value.type = 5 + static_cast<int32_t>(in.next() % 3); /* no such type */
  }
  return item;
}

/* What the item format reads back for an accepted item. */
void expectRead(const Item &item, std::vector<Item> *expected) {
  const Val &v = item.value;
  if (v.type == ITEM_NUMBER || v.type == ITEM_STRING || v.type == ITEM_FUNCTION ||
      v.type == ITEM_TABLE) {
    Item read = item;
    if (read.key.type == ITEM_NUMBER)
      read.key.number = trunc(read.key.number);
    expected->push_back(read);
    return;
  }
  /* A value of no known type is written as an empty element: an empty table. */
  expected->push_back({item.key, sertest::BEGIN()});
  expected->push_back({item.key, sertest::END()});
}

void writeItems(int format, const std::vector<Item> &items, unsigned chunk) {
  TagItem tags[] = {{SERTAG_FORMAT, static_cast<uintptr_t>(format)}, {TAG_DONE, 0}};
  Stream out;
  void *context = sertest::plugin().InitSerializer(nullptr, writeStream, &out, tags);
  if (!context)
    fuzz::fail("writer", "InitSerializer refused a memory stream");
  std::vector<Item> expected;
  /* The host hands a table end under the key of its table. */
  std::vector<Val> open;
  bool allAccepted = true, documentEnded = false;
  for (Item item : items) {
    bool isEnd = item.value.type == ITEM_TABLE && !item.value.length;
    if (isEnd && !open.empty())
      item.key = open.back();
    ItemValue key = sertest::toItemValue(item.key), value = sertest::toItemValue(item.value);
    int accepted = sertest::plugin().SerializeItem(context, &key, &value);
    allAccepted = allAccepted && accepted;
    if (!accepted)
      continue;
    expectRead(item, &expected);
    if (item.value.type == ITEM_TABLE && item.value.length)
      open.push_back(item.key);
    else if (isEnd && !open.empty())
      open.pop_back();
    if (isEnd && open.empty())
      documentEnded = true;
  }
  /* Close what is open, so that the item format's stream is complete. */
  for (; format == FORMAT_ITEMS && !open.empty(); open.pop_back()) {
    Item end = {open.back(), sertest::END()};
    ItemValue key = sertest::toItemValue(end.key), value = sertest::toItemValue(end.value);
    if (!sertest::plugin().SerializeItem(context, &key, &value))
      fuzz::fail("writer", "a table end with a table open was refused");
    expected.push_back(end);
  }
  if (sertest::plugin().FreeSerializer(context) != 1)
    fuzz::fail("writer", "FreeSerializer failed on a memory stream");
  fuzz::requireNoLiveBlocks("writer");

  if (format != FORMAT_ITEMS && !(allAccepted && documentEnded))
    return;
  /* Raw names: the host's name mapping would change the keys' letters. */
  auto readTags =
      sertest::tagList({{SERTAG_FORMAT, static_cast<uintptr_t>(format)}, {SERTAG_RAW_NAMES, 1}});
  sertest::ReadResult r = sertest::readItems(readTags, out.data, static_cast<int32_t>(chunk));
  fuzz::requireNoLiveBlocks("writer, reading back");
  if (!r.bad.empty() || r.freed != 1)
    fuzz::fail("writer, reading back",
               r.bad.empty() ? "FreeSerializer did not answer 1" : r.bad.c_str());
  if (out.badWrite)
    fuzz::fail("writer", "writeFunc handed a negative length or no bytes");
  if (!r.opened || !r.ok || !r.doneSeen) {
    fuzz::fail("writer", ("what was written does not read back (format " + std::to_string(format) +
                          "):\n" + out.data)
                             .c_str());
  }
  if (format == FORMAT_ITEMS && !(r.items == expected)) {
    fuzz::fail("writer", ("items read back differ:\nwritten:\n" + sertest::describe(expected) +
                          "read:\n" + sertest::describe(r.items) + "text:\n" + out.data)
                             .c_str());
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Bytes in = {data, size, 0};
  unsigned chunk = 1 + in.next() * 64;
  std::vector<Item> items;
  while (!in.empty() && items.size() < 2000)
    items.push_back(itemFrom(in));
  for (int format : {FORMAT_ITEMS, FORMAT_NAMED, FORMAT_INDEXED})
    writeItems(format, items, chunk);
  return 0;
}
