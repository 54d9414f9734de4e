/*
 * The save walk: a script table depth first, one item per key/value pair,
 * a nested table bracketed by a table-begin and a table-end item. Entries
 * go in a fixed order (array part, other number keys ascending, string
 * keys in byte order), so that the same table always gives the same bytes.
 *
 * The walk keeps its own stack, however deep the table: one frame per table
 * being saved in growing memory, the tables in a script table, and every
 * key in a script table too, so that the key strings that the sorted key
 * list points into stay alive whatever a finalizer does to the tables.
 * A table that contains itself is found through a hash of the addresses of
 * the tables on the path (they stay put: the script table anchors them).
 */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "velloran/tables_session.h"

extern "C" {
#include <lauxlib.h>
}

namespace velloran {

/* A key of a table being saved; slot is its place in the walk's key table. */
struct KeyRef {
  int group; /* KEY_ARRAY, KEY_NUMBER, KEY_STRING: the order of the groups */
  lua_Number number;
  const char *text;
  size_t length;
  int slot;
};

/* A table being saved: its keys are keys[first, end), the next to save at
   next; the table itself is the walk's tables[depth], at address table.
   older: 1 + the frame below in the same address bucket (0: none). */
struct SaveFrame {
  size_t first;
  size_t end;
  size_t next;
  const void *table;
  size_t older;
};

namespace {

enum { KEY_ARRAY, KEY_NUMBER, KEY_STRING };

/* Stack slots of one walk. */
struct Walk {
  int tables;  /* depth -> table being saved */
  int keys;    /* slot -> key */
  int current; /* the table being saved */
};

int compareKeys(const void *a, const void *b) {
  auto *x = static_cast<const KeyRef *>(a);
  auto *y = static_cast<const KeyRef *>(b);
  if (x->group != y->group)
    return x->group - y->group;
  if (x->group != KEY_STRING)
    return x->number < y->number ? -1 : x->number > y->number ? 1 : 0;
  size_t n = x->length < y->length ? x->length : y->length;
  int c = memcmp(x->text, y->text, n);
  if (c != 0)
    return c;
  return x->length < y->length ? -1 : x->length > y->length ? 1 : 0;
}

/* ---- the tables on the path, by address ----
   Frames come and go last in, first out, so the frame that ends is always
   the newest of its bucket's chain. */

size_t bucketOf(const void *table, size_t bucketCount) {
  uint64_t x = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(table));
  x = (x ^ (x >> 17)) * 0x9E3779B97F4A7C15ull;
  return static_cast<size_t>(x >> 32) & (bucketCount - 1);
}

void linkFrame(Session *s, size_t index) {
  SaveFrame &f = s->frames[index];
  size_t &head = s->buckets[bucketOf(f.table, s->bucketCount)];
  f.older = head;
  head = index + 1;
}

/* Makes room for frames[0..count]: at most one frame per bucket on average. */
void growBuckets(lua_State *L, Session *s, size_t count) {
  if (count < s->bucketCount)
    return;
  size_t wanted = s->bucketCount ? 2 * s->bucketCount : 64;
  size_t *grown = wanted <= SIZE_MAX / 2 / sizeof(size_t)
                      ? static_cast<size_t *>(calloc(wanted, sizeof(size_t)))
                      : nullptr;
  if (!grown)
    fail(L, s, "not enough memory");
  free(s->buckets);
  s->buckets = grown;
  s->bucketCount = wanted;
  for (size_t i = 0; i < count; i++)
    linkFrame(s, i);
}

bool isBeingSaved(const Session *s, const void *table) {
  if (!s->bucketCount)
    return false;
  for (size_t i = s->buckets[bucketOf(table, s->bucketCount)]; i; i = s->frames[i - 1].older)
    if (s->frames[i - 1].table == table)
      return true;
  return false;
}

void unlinkFrame(Session *s, size_t index) {
  const SaveFrame &f = s->frames[index];
  s->buckets[bucketOf(f.table, s->bucketCount)] = f.older;
}

/* Most tables have a few keys: those are sorted in place by insertion,
   which for them costs less than qsort's setup; longer lists go to qsort. */
enum { INSERTION_SORT_LIMIT = 16 };

void sortKeys(KeyRef *keys, size_t count) {
  if (count > INSERTION_SORT_LIMIT) {
    qsort(keys, count, sizeof(KeyRef), compareKeys);
    return;
  }
  for (size_t i = 1; i < count; i++) {
    KeyRef key = keys[i];
    size_t j = i;
    for (; j > 0 && compareKeys(&keys[j - 1], &key) > 0; j--)
      keys[j] = keys[j - 1];
    keys[j] = key;
  }
}

bool isLetter(char c) {
  return c == '_' || ((c | 32) >= 'a' && (c | 32) <= 'z');
}

/* A key that reads as a field name: settings.window */
bool isIdentifier(const char *text, size_t length) {
  if (length == 0 || !isLetter(text[0]))
    return false;
  for (size_t i = 0; i < length; i++)
    if (!isLetter(text[i]) && !(text[i] >= '0' && text[i] <= '9'))
      return false;
  return true;
}

/* Appends the key at index to the path text: .name, ["a b"], [3]. */
void appendKey(lua_State *L, int index, bool first, char *text, size_t size, size_t *used) {
  int type = lua_type(L, index);
  size_t length = 0;
  const char *key = type == LUA_TSTRING ? lua_tolstring(L, index, &length) : nullptr;
  char number[64];
  if (type == LUA_TNUMBER) { /* tolstring would turn the key itself into a string */
    snprintf(number, sizeof number, "%.14g", lua_tonumber(L, index));
    key = number;
  } else if (type == LUA_TBOOLEAN) {
    key = lua_toboolean(L, index) ? "true" : "false";
  } else if (type != LUA_TSTRING) {
    key = luaL_typename(L, index);
  }
  int n;
  if (type == LUA_TSTRING && isIdentifier(key, length))
    n = snprintf(text + *used, size - *used, first ? "%s" : ".%s", key);
  else if (type == LUA_TSTRING)
    n = snprintf(text + *used, size - *used, "[\"%s\"]", key);
  else
    n = snprintf(text + *used, size - *used, "[%s]", key);
  size_t wrote = n > 0 ? static_cast<size_t>(n) : 0;
  *used += wrote < size - *used ? wrote : size - *used - 1;
}

/* Raises message with the path of keys down to the item being saved, and
   the key at extra (0: none) below it: settings.window[3]. */
[[noreturn]] void failAt(lua_State *L, Session *s, const Walk *w, int extra, const char *message) {
  char path[512];
  size_t used = 0;
  path[0] = 0;
  for (size_t i = 0; i < s->frameCount && used < sizeof path - 1; i++) {
    const SaveFrame &f = s->frames[i];
    if (f.next == f.first)
      break;
    lua_rawgeti(L, w->keys, s->keys[f.next - 1].slot);
    appendKey(L, -1, i == 0, path, sizeof path, &used);
    lua_pop(L, 1);
  }
  if (extra && used < sizeof path - 1)
    appendKey(L, extra, used == 0, path, sizeof path, &used);
  fail(L, s, "%s at '%s'", message, path);
}

void putItem(lua_State *L, Session *s, const Walk *w, const ItemValue *key,
             const ItemValue *value) {
  if (s->putItem(s, key, value))
    return;
  /* But for the stream, the host cannot tell why an item was refused
     (the plugin gives no reason for it): the message names its path. */
  char reason[REASON_LIMIT];
  if (takeFailure(s, reason) == FAILED_STREAM)
    failStream(L, s, "write");
  char message[64];
  snprintf(message, sizeof message, "cannot save this key or value in \"%s\" format",
           tableFormatNames[s->options.format]);
  failAt(L, s, w, 0, message);
}

bool inArrayPart(lua_State *L, int index, size_t count) {
  lua_Number n = lua_tonumber(L, index);
  return n >= 1 && n <= static_cast<lua_Number>(count) &&
         n == static_cast<lua_Number>(static_cast<size_t>(n));
}

/* Opens a frame for the table at w->current: its keys, sorted. Only the
   keys present are visited, whatever the table's length says. */
void pushFrame(lua_State *L, Session *s, const Walk *w) {
  growArray(L, s, reinterpret_cast<void **>(&s->frames), &s->frameCapacity, s->frameCount,
            sizeof(SaveFrame));
  size_t count = lua_objlen(L, w->current);
  size_t first = s->keyCount;
  lua_pushnil(L);
  while (lua_next(L, w->current)) {
    lua_pop(L, 1);
    KeyRef key = {KEY_STRING, 0, nullptr, 0, 0};
    if (lua_type(L, -1) == LUA_TNUMBER) {
      key.number = lua_tonumber(L, -1);
      key.group = inArrayPart(L, -1, count) ? KEY_ARRAY : KEY_NUMBER;
    } else if (lua_type(L, -1) == LUA_TSTRING) {
      key.text = lua_tolstring(L, -1, &key.length);
    } else {
      char message[64];
      snprintf(message, sizeof message, "cannot save a %s key", luaL_typename(L, -1));
      failAt(L, s, w, lua_gettop(L), message);
    }
    growArray(L, s, reinterpret_cast<void **>(&s->keys), &s->keyCapacity, s->keyCount,
              sizeof(KeyRef));
    if (s->keyCount >= INT32_MAX)
      fail(L, s, "not enough memory");
    key.slot = static_cast<int>(s->keyCount + 1);
    lua_pushvalue(L, -1);
    lua_rawseti(L, w->keys, key.slot); /* anchors key.text */
    s->keys[s->keyCount++] = key;
  }
  sortKeys(s->keys + first, s->keyCount - first);
  growBuckets(L, s, s->frameCount);
  s->frames[s->frameCount] = {first, s->keyCount, first, lua_topointer(L, w->current), 0};
  linkFrame(s, s->frameCount++);
}

/* The item of a saved key; a number key's value goes in *number, which
   the item points to. A string key's length was checked when it was saved
   (a table's table-end item repeats the key its table-begin item had). */
ItemValue keyItem(const KeyRef &ref, lua_Number *number) {
  if (ref.group == KEY_STRING)
    return {ITEM_STRING, const_cast<char *>(ref.text), static_cast<int32_t>(ref.length)};
  *number = ref.number;
  return {ITEM_NUMBER, number, static_cast<int32_t>(sizeof *number)};
}

/* Makes tables[depth] the current table. */
void enterTable(lua_State *L, const Walk *w, size_t depth) {
  lua_rawgeti(L, w->tables, static_cast<int>(depth));
  lua_replace(L, w->current);
}

/* Starts saving the table value at index: its table-begin item, then a
   frame of its own. */
void beginTable(lua_State *L, Session *s, const Walk *w, int index, const ItemValue *key) {
  if (isBeingSaved(s, lua_topointer(L, index)))
    failAt(L, s, w, 0, "cannot save a table that contains itself");
  if (s->frameCount >= INT32_MAX)
    fail(L, s, "not enough memory");
  const ItemValue value = {ITEM_TABLE, nullptr, 1};
  putItem(L, s, w, key, &value);
  lua_pushvalue(L, index);
  lua_rawseti(L, w->tables, static_cast<int>(s->frameCount + 1));
  lua_pushvalue(L, index);
  lua_replace(L, w->current);
  pushFrame(L, s, w);
}

/* Ends the table of the top frame: its keys and frame go, and below the
   root its table-end item is written under the key it was begun with. */
void endTable(lua_State *L, Session *s, const Walk *w) {
  unlinkFrame(s, s->frameCount - 1);
  s->keyCount = s->frames[--s->frameCount].first;
  if (s->frameCount == 0)
    return;
  enterTable(L, w, s->frameCount);
  lua_Number number;
  const ItemValue key = keyItem(s->keys[s->frames[s->frameCount - 1].next - 1], &number);
  const ItemValue value = {ITEM_TABLE, nullptr, 0};
  putItem(L, s, w, &key, &value);
}

int dumpWriter(lua_State *, const void *p, size_t n, void *b) {
  luaL_addlstring(static_cast<luaL_Buffer *>(b), static_cast<const char *>(p), n);
  return 0;
}

/* Saves the value at index under key; a table opens a frame instead. */
void saveValue(lua_State *L, Session *s, const Walk *w, int index, const ItemValue *key) {
  ItemValue value;
  lua_Number number = 0;
  size_t length = 0;
  switch (lua_type(L, index)) {
  case LUA_TNUMBER:
  case LUA_TBOOLEAN:
    number = lua_type(L, index) == LUA_TNUMBER ? lua_tonumber(L, index) : lua_toboolean(L, index);
    value = {ITEM_NUMBER, &number, static_cast<int32_t>(sizeof number)};
    break;
  case LUA_TSTRING: {
    const char *text = lua_tolstring(L, index, &length);
    if (length > INT32_MAX)
      failAt(L, s, w, 0, "string too long (under 2 GiB)");
    value = {ITEM_STRING, const_cast<char *>(text), static_cast<int32_t>(length)};
    break;
  }
  case LUA_TFUNCTION: {
    if (lua_iscfunction(L, index))
      failAt(L, s, w, 0, "cannot save a C function");
    lua_pushvalue(L, index);
    luaL_Buffer image;
    luaL_buffinit(L, &image);
    if (lua_dump(L, dumpWriter, &image) != 0)
      failAt(L, s, w, 0, "cannot save this function");
    luaL_pushresult(&image);
    const char *bytes = lua_tolstring(L, -1, &length);
    if (length > INT32_MAX)
      failAt(L, s, w, 0, "function too large (under 2 GiB)");
    value = {ITEM_FUNCTION, const_cast<char *>(bytes), static_cast<int32_t>(length)};
    break;
  }
  case LUA_TTABLE:
    beginTable(L, s, w, index, key);
    return;
  default: {
    char message[64];
    snprintf(message, sizeof message, "cannot save a %s value", luaL_typename(L, index));
    failAt(L, s, w, 0, message);
  }
  }
  putItem(L, s, w, key, &value);
}

} // namespace

void saveRoot(lua_State *L, Session *s, int table) {
  if (!lua_checkstack(L, 40))
    fail(L, s, "not enough memory");
  Walk w;
  lua_newtable(L);
  w.tables = lua_gettop(L);
  lua_newtable(L);
  w.keys = lua_gettop(L);
  lua_pushvalue(L, table);
  w.current = lua_gettop(L);
  lua_pushvalue(L, table);
  lua_rawseti(L, w.tables, 1);
  pushFrame(L, s, &w);
  while (s->frameCount > 0) {
    SaveFrame &frame = s->frames[s->frameCount - 1];
    if (frame.next == frame.end) {
      endTable(L, s, &w);
      continue;
    }
    const KeyRef &ref = s->keys[frame.next++];
    lua_rawgeti(L, w.keys, ref.slot);
    lua_pushvalue(L, -1);
    lua_rawget(L, w.current);
    if (lua_isnil(L, -1)) { /* removed while the table was being saved */
      lua_pop(L, 2);
      continue;
    }
    if (ref.group == KEY_STRING && ref.length > INT32_MAX)
      failAt(L, s, &w, 0, "key too long (under 2 GiB)");
    lua_Number number;
    const ItemValue key = keyItem(ref, &number);
    saveValue(L, s, &w, lua_gettop(L), &key);
    lua_settop(L, w.current);
  }
}

} // namespace velloran
