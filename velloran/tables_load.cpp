/*
 * The load walk: items come back from the serializer one per call and are
 * rebuilt into tables. The tables being filled are kept in a script table
 * indexed by depth, not on the script stack, so any depth loads.
 */

#include "velloran/tables_session.h"

extern "C" {
#include <lauxlib.h>
}

namespace velloran {

/* The keys of a table being filled, as the two parts of a script table
   hold them: positive whole numbers (the array part) and the others. The
   last table filled at a depth gives the sizes for the next one there, so
   that a document of similar records builds each table without regrowing
   it key by key. */
struct LoadShape {
  int arrayKeys;
  int otherKeys;
  int arrayHint;
  int otherHint;
};

namespace {

/* " in 'path'" when a file is read, else "". */
const char *inFile(lua_State *L, Session *s) {
  return s->path ? lua_pushfstring(L, " in '%s'", s->path) : "";
}

/* The serializer could not hand over an item, or handed over one that no
   table holds: why, and where as far as the reason tells. */
[[noreturn]] void failLoad(lua_State *L, Session *s) {
  char reason[REASON_LIMIT];
  SerializerFailure failure = takeFailure(s, reason);
  if (failure == FAILED_STREAM)
    failStream(L, s, "read");
  if (failure == FAILED_MEMORY)
    fail(L, s, "%s", reason);
  const char *where = inFile(L, s);
  fail(L, s, "not a valid XML table in \"%s\" format%s%s%s", tableFormatNames[s->options.format],
       reason[0] ? ": " : "", reason, where);
}

/* A hint never reserves more than this many slots of either kind. */
enum { HINT_LIMIT = 4096 };

void countKey(LoadShape *shape, const ItemValue *key) {
  bool array = false;
  if (key->type == ITEM_NUMBER) {
    double n = *static_cast<const double *>(key->data);
    array = n >= 1 && n <= HINT_LIMIT && n == static_cast<double>(static_cast<int>(n));
  }
  int &count = array ? shape->arrayKeys : shape->otherKeys;
  if (count < HINT_LIMIT)
    count++;
}

/* Pushes a new table for depth, sized as the last one filled there;
   depths up to *known have their shapes. */
void newTableAt(lua_State *L, Session *s, int depth, int *known) {
  growArray(L, s, reinterpret_cast<void **>(&s->shapes), &s->shapeCapacity,
            static_cast<size_t>(depth), sizeof(LoadShape));
  LoadShape &shape = s->shapes[depth];
  if (depth > *known) {
    shape = {0, 0, 0, 0};
    *known = depth;
  }
  lua_createtable(L, shape.arrayHint, shape.otherHint);
  shape.arrayKeys = shape.otherKeys = 0;
}

/* The table at depth is filled: its sizes become the hint there. */
void endTableAt(Session *s, int depth) {
  LoadShape &shape = s->shapes[depth];
  shape.arrayHint = shape.arrayKeys;
  shape.otherHint = shape.otherKeys;
}

void pushItemValue(lua_State *L, const ItemValue *item) {
  if (item->type == ITEM_NUMBER)
    lua_pushnumber(L, *static_cast<const double *>(item->data));
  else
    lua_pushlstring(L, item->data ? static_cast<const char *>(item->data) : "",
                    static_cast<size_t>(item->length));
}

/* A function item that cannot be loaded: what, under which key (at
   keyIndex) and in which file, and why. */
[[noreturn]] void failFunction(lua_State *L, Session *s, int keyIndex, const char *what,
                               const char *why) {
  const char *where = inFile(L, s);
  fail(L, s, "%s under the key '%s'%s: %s", what, lua_tostring(L, keyIndex), where, why);
}

/* Pushes the value of a scalar item (number, string or function). */
void pushScalar(lua_State *L, Session *s, const ItemValue *value) {
  switch (value->type) {
  case ITEM_NUMBER:
  case ITEM_STRING:
    if (!value->data && (value->type == ITEM_NUMBER || value->length != 0))
      failLoad(L, s);
    pushItemValue(L, value);
    return;
  case ITEM_FUNCTION: {
    int keyIndex = lua_gettop(L); /* the item's key, pushed by the caller */
    if (!s->options.functions)
      failFunction(L, s, keyIndex, "the XML holds a function",
                   "load functions only from trusted files, with the option functions = true");
    if (luaL_loadbuffer(L, value->data ? static_cast<const char *>(value->data) : "",
                        static_cast<size_t>(value->length), "=table") != 0)
      failFunction(L, s, keyIndex, "cannot load the function", lua_tostring(L, keyIndex + 1));
    return;
  }
  default:
    failLoad(L, s);
  }
}

} // namespace

void loadRoot(lua_State *L, Session *s) {
  if (!lua_checkstack(L, 8))
    fail(L, s, "not enough memory");
  lua_newtable(L); /* depth -> table being filled */
  int tables = lua_gettop(L);
  int depth = 1;
  int known = 0;
  newTableAt(L, s, depth, &known); /* the table being filled; the root stays below */
  lua_pushvalue(L, -1);
  lua_rawseti(L, tables, 1);
  int current = lua_gettop(L);
  for (;;) {
    ItemValue key = {ITEM_NUMBER, nullptr, 0}, value = {ITEM_NUMBER, nullptr, 0};
    int done = 0;
    clearReason();
    if (!s->plugin->DeserializeItem(s->context, &key, &value, &done))
      failLoad(L, s);
    if (done)
      break;
    if (value.type == ITEM_TABLE && value.length == 0) {
      if (depth == 1)
        failLoad(L, s);
      endTableAt(s, depth);
      lua_rawgeti(L, tables, --depth);
      lua_replace(L, current);
      continue;
    }
    if ((key.type != ITEM_NUMBER && key.type != ITEM_STRING) || !key.data)
      failLoad(L, s);
    countKey(&s->shapes[depth], &key);
    pushItemValue(L, &key);
    if (value.type != ITEM_TABLE) {
      pushScalar(L, s, &value);
      lua_rawset(L, current);
      continue;
    }
    if (depth == INT32_MAX)
      fail(L, s, "table nested too deeply");
    newTableAt(L, s, ++depth, &known);
    lua_pushvalue(L, -1);
    lua_rawseti(L, tables, depth);
    lua_rawset(L, current);
    lua_rawgeti(L, tables, depth);
    lua_replace(L, current);
  }
  if (depth != 1 || !finishSession(s))
    failLoad(L, s);
  lua_rawgeti(L, tables, 1);
}

} // namespace velloran
