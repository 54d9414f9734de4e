/*
 * The four table functions of the `velloran` table, one row each: the
 * arguments it takes, whether it saves or loads, where the serializer's
 * stream goes, and what it returns. Each runs its work in protected mode
 * with a session of its own, and closes the session as soon as the work
 * ends or fails: no serializer stays open and no partly written file stays
 * behind, whatever error (memory included) stops the work.
 */
#include "velloran/tables_functions.h"

#include <string.h>

#include "velloran/binding.h"
#include "velloran/tables_session.h"

extern "C" {
#include <lauxlib.h>
}

namespace velloran {

namespace {

/* Arguments of the work function: the session, the function's row, then
   the script's arguments. */
enum { SESSION = 1, ROW, ARG1 };

struct TableFunction {
  const char *arguments; /* before the options, one letter each: 's' a string, 't' a table */
  bool saving;           /* saves the table given last, else loads one */
  void (*open)(lua_State *L, Session *s);   /* the stream; null: memory */
  int (*finish)(lua_State *L, Session *s); /* after the walk: the results */
};

/* ---- streams ---- */

void readText(lua_State *L, Session *s) {
  s->input = lua_tolstring(L, ARG1, &s->inputLength);
}

void writeFile(lua_State *L, Session *s) {
  s->path = lua_tostring(L, ARG1);
  openReplacement(L, s, s->path);
}

void readFile(lua_State *L, Session *s) {
  s->path = lua_tostring(L, ARG1);
  openInputFile(L, s, s->path);
}

/* ---- results ---- */

int returnText(lua_State *L, Session *s) {
  if (!finishSession(s))
    failStream(L, s, "write");
  lua_pushlstring(L, s->data ? s->data : "", s->length);
  return 1;
}

int commitFile(lua_State *L, Session *s) {
  commitReplacement(L, s, s->path);
  return 0;
}

/* The walk has pushed the table and ended the session. */
int returnTable(lua_State *, Session *) {
  return 1;
}

const TableFunction serializeTable = {"t", true, nullptr, returnText};
const TableFunction deserializeTable = {"s", false, readText, returnTable};
const TableFunction writeTable = {"st", true, writeFile, commitFile};
const TableFunction readTable = {"s", false, readFile, returnTable};

int work(lua_State *L) {
  Session *s = static_cast<Session *>(lua_touserdata(L, SESSION));
  auto *f = static_cast<const TableFunction *>(lua_touserdata(L, ROW));
  if (f->open)
    f->open(L, s);
  openSerializer(L, s, f->saving);
  if (f->saving)
    saveRoot(L, s, ARG1 + static_cast<int>(strlen(f->arguments)) - 1);
  else
    loadRoot(L, s);
  return f->finish(L, s);
}

/* Checks f's arguments, reads the options that follow them into a new
   session, calls work(session, f, arguments...) in protected mode, closes
   the session and returns work's results or raises its error. */
int run(lua_State *L, const TableFunction *f) {
  int arguments = static_cast<int>(strlen(f->arguments));
  for (int i = 1; i <= arguments; i++)
    if (f->arguments[i - 1] == 't')
      luaL_checktype(L, i, LUA_TTABLE);
    else
      luaL_checkstring(L, i);
  int options = arguments + 1;
  lua_settop(L, options);
  luaL_checkstack(L, options + 4, "too many arguments");
  Session *s = newSession(L, boundPlugin(L)); /* stays at options + 1 */
  readOptions(L, options, &s->options);
  lua_pushcfunction(L, work);
  lua_pushvalue(L, options + 1);
  lua_pushlightuserdata(L, const_cast<TableFunction *>(f));
  for (int i = 1; i <= options; i++)
    lua_pushvalue(L, i);
  int status = lua_pcall(L, options + 2, LUA_MULTRET, 0);
  closeSession(s);
  if (status != 0)
    lua_error(L);
  return lua_gettop(L) - options - 1;
}

} // namespace

int SerializeTable(lua_State *L) {
  return run(L, &serializeTable);
}

int DeserializeTable(lua_State *L) {
  return run(L, &deserializeTable);
}

int WriteTable(lua_State *L) {
  return run(L, &writeTable);
}

int ReadTable(lua_State *L) {
  return run(L, &readTable);
}

} // namespace velloran
