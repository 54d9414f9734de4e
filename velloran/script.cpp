/*
 * The script services that differ from the Lua API: the state-and-index
 * lua_tostring, lua_newtable, the non-raising luaL_checkudata,
 * luaL_findstring, a copying luaL_addlstring, RaiseError, and the
 * trampoline through which every plugin command is called.
 */
#include <string.h>

#include "velloran/script.h"
#include "velloran/slots.h"

namespace velloran {

namespace {

/* Pushes the error that RaiseError(L, id) raises. A registered message is
   preceded by where the script called the command, as Lua's own errors
   are ("main.lua:12: Parser is closed!"). */
void pushRaisedError(lua_State *L, int id) {
  size_t length;
  const char *message = completeErrorMessage(id, &length);
  if (message) {
    lua_pushlstring(L, message, length);
    luaL_where(L, 1);
    lua_insert(L, -2);
    lua_concat(L, 2);
    return;
  }
  clearErrorArgument();
  /* A failed protected call's status: the plugin has pushed the call's
     own error value, which is raised as it is. */
  if ((id == LUA_ERRRUN || id == LUA_ERRMEM || id == LUA_ERRERR) && lua_gettop(L) > 0)
    return;
  lua_pushfstring(L, "unknown error %d raised by the plugin", id);
}

/* Only one script state runs at a time: the one that closes, if any. */
bool closing = false;

int trampoline(lua_State *L) {
  if (closing && !lua_toboolean(L, lua_upvalueindex(2)))
    return luaL_error(L, "the script state is closing");
  CommandFunc command = reinterpret_cast<CommandFunc>(lua_touserdata(L, lua_upvalueindex(1)));
  int result = command(L);
  if (result >= 0 && result <= lua_gettop(L))
    return result;
  if (result >= FIRST_ERROR_ID)
    raiseError(L, result);
  return luaL_error(L, "plugin command returned %d results with %d values on the stack", result,
                    lua_gettop(L));
}

} // namespace

void pushCommand(lua_State *L, CommandFunc command, bool whileClosing) {
  lua_pushlightuserdata(L, reinterpret_cast<void *>(command));
  lua_pushboolean(L, whileClosing);
  lua_pushcclosure(L, trampoline, 2);
}

void setStateClosing(bool value) {
  closing = value;
}

bool stateClosing() {
  return closing;
}

const char *luaToString(lua_State *L, int index) {
  return lua_tolstring(L, index, nullptr);
}

void luaNewTable(lua_State *L) {
  lua_createtable(L, 0, 0);
}

void raiseError(lua_State *L, int id) {
  pushRaisedError(L, id);
  lua_error(L);
  __builtin_unreachable();
}

/* luaL_addlstring with one copy per stretch of free buffer instead of one
   store per byte. The buffer is emptied at the same moments (only when a
   byte is due and the buffer is full), so the string and the stack use are
   those of the engine's own function. */
void addLString(luaL_Buffer *buffer, const char *text, size_t length) {
  while (length > 0) {
    size_t room = static_cast<size_t>(buffer->buffer + LUAL_BUFFERSIZE - buffer->p);
    if (room == 0) {
      luaL_prepbuffer(buffer);
      continue;
    }
    size_t n = length < room ? length : room;
    memcpy(buffer->p, text, n);
    buffer->p += n;
    text += n;
    length -= n;
  }
}

void *checkUdata(lua_State *L, int index, const char *name) {
  void *block = lua_touserdata(L, index);
  if (!block || !lua_getmetatable(L, index))
    return nullptr;
  lua_getfield(L, LUA_REGISTRYINDEX, name);
  bool same = lua_rawequal(L, -1, -2);
  lua_pop(L, 2);
  return same ? block : nullptr;
}

int findString(const char *name, const char *const list[]) {
  if (!name || !list)
    return -1;
  for (int i = 0; list[i]; i++)
    if (strcmp(list[i], name) == 0)
      return i;
  return -1;
}

} // namespace velloran
