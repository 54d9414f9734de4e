/*
 * The load walk: items come back from the serializer one per call and are
 * rebuilt into tables. The tables being filled are kept in a script table
 * indexed by depth, not on the script stack, so any depth loads.
 */
#include <string.h>

#include "velloran/table_session.h"

extern "C" {
#include <lauxlib.h>
}

namespace velloran {

namespace {

[[noreturn]] void failLoad(lua_State *L, Session *s) {
  if (s->ioError)
    fail(L, s, "cannot read the XML: %s", strerror(s->ioError));
  fail(L, s, "not a valid XML table in \"%s\" format", tableFormatNames[s->options.format]);
}

void pushItemValue(lua_State *L, const ItemValue *item) {
  if (item->type == ITEM_NUMBER)
    lua_pushnumber(L, *static_cast<const double *>(item->data));
  else
    lua_pushlstring(L, item->data ? static_cast<const char *>(item->data) : "",
                    static_cast<size_t>(item->length));
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
  case ITEM_FUNCTION:
    if (!s->options.functions)
      fail(L, s, "the XML holds a function: load functions only from trusted files, "
                 "with the option functions = true");
    if (luaL_loadbuffer(L, value->data ? static_cast<const char *>(value->data) : "",
                        static_cast<size_t>(value->length), "=table") != 0)
      fail(L, s, "cannot load a function from the XML: %s", lua_tostring(L, -1));
    return;
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
  lua_newtable(L); /* the table being filled; the root stays below */
  lua_pushvalue(L, -1);
  lua_rawseti(L, tables, 1);
  int current = lua_gettop(L);
  int depth = 1;
  for (;;) {
    ItemValue key = {ITEM_NUMBER, nullptr, 0}, value = {ITEM_NUMBER, nullptr, 0};
    int done = 0;
    if (!s->plugin->DeserializeItem(s->context, &key, &value, &done))
      failLoad(L, s);
    if (done)
      break;
    if (value.type == ITEM_TABLE && value.length == 0) {
      if (depth == 1)
        failLoad(L, s);
      lua_rawgeti(L, tables, --depth);
      lua_replace(L, current);
      continue;
    }
    if ((key.type != ITEM_NUMBER && key.type != ITEM_STRING) || !key.data)
      failLoad(L, s);
    pushItemValue(L, &key);
    if (value.type != ITEM_TABLE) {
      pushScalar(L, s, &value);
      lua_rawset(L, current);
      continue;
    }
    if (depth == INT32_MAX)
      fail(L, s, "table nested too deeply");
    lua_newtable(L);
    lua_pushvalue(L, -1);
    lua_rawseti(L, tables, ++depth);
    lua_rawset(L, current);
    lua_rawgeti(L, tables, depth);
    lua_replace(L, current);
  }
  if (depth != 1 || !finishSession(s))
    failLoad(L, s);
  lua_rawgeti(L, tables, 1);
}

} // namespace velloran
