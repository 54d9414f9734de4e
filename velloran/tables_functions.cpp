/*
 * The four table functions of the `velloran` table. Each runs its work in
 * protected mode with a session of its own, and closes the session as soon
 * as the work ends or fails: no serializer stays open and no partly written
 * file stays behind, whatever error (memory included) stops the work.
 */
#include "velloran/tables_functions.h"

#include "velloran/binding.h"
#include "velloran/tables_session.h"

extern "C" {
#include <lauxlib.h>
}

namespace velloran {

namespace {

/* Arguments of a work function: the session, then the script's arguments. */
enum { SESSION = 1, ARG1, ARG2, ARG3 };

Session *workSession(lua_State *L) {
  return static_cast<Session *>(lua_touserdata(L, SESSION));
}

int serializeWork(lua_State *L) {
  Session *s = workSession(L);
  openSerializer(L, s, true);
  saveRoot(L, s, ARG1);
  if (!finishSession(s))
    failStream(L, s, "write");
  lua_pushlstring(L, s->data ? s->data : "", s->length);
  return 1;
}

int writeWork(lua_State *L) {
  Session *s = workSession(L);
  const char *path = lua_tostring(L, ARG1);
  s->path = path;
  openReplacement(L, s, path);
  openSerializer(L, s, true);
  saveRoot(L, s, ARG2);
  commitReplacement(L, s, path);
  return 0;
}

int deserializeWork(lua_State *L) {
  Session *s = workSession(L);
  s->input = lua_tolstring(L, ARG1, &s->inputLength);
  openSerializer(L, s, false);
  loadRoot(L, s);
  return 1;
}

int readWork(lua_State *L) {
  Session *s = workSession(L);
  const char *path = lua_tostring(L, ARG1);
  s->path = path;
  openInputFile(L, s, path);
  openSerializer(L, s, false);
  loadRoot(L, s);
  return 1;
}

/* Reads the options at index into a new session, calls work(session,
   arguments...) in protected mode, closes the session and returns work's
   results or raises its error. The arguments are checked by the caller. */
int runWork(lua_State *L, lua_CFunction work, int options) {
  lua_settop(L, options);
  int arguments = options;
  luaL_checkstack(L, arguments + 3, "too many arguments");
  Session *s = newSession(L, boundPlugin(L)); /* stays at arguments + 1 */
  readOptions(L, options, &s->options);
  lua_pushcfunction(L, work);
  lua_pushvalue(L, arguments + 1);
  for (int i = 1; i <= arguments; i++)
    lua_pushvalue(L, i);
  int status = lua_pcall(L, arguments + 1, LUA_MULTRET, 0);
  closeSession(s);
  if (status != 0)
    lua_error(L);
  return lua_gettop(L) - arguments - 1;
}

} // namespace

int SerializeTable(lua_State *L) {
  luaL_checktype(L, 1, LUA_TTABLE);
  return runWork(L, serializeWork, 2);
}

int DeserializeTable(lua_State *L) {
  luaL_checkstring(L, 1);
  return runWork(L, deserializeWork, 2);
}

int WriteTable(lua_State *L) {
  luaL_checkstring(L, 1);
  luaL_checktype(L, 2, LUA_TTABLE);
  return runWork(L, writeWork, 3);
}

int ReadTable(lua_State *L) {
  luaL_checkstring(L, 1);
  return runWork(L, readWork, 2);
}

} // namespace velloran
