#include "parser/dispatch.h"

#include "host/services.h"
#include "plugin/errors.h"

/* Stack slots of the running parse step. */
enum { SLOT_SELF = 1, SLOT_CALLBACKS = 3 };

int fetchCallback(ParserRecord *record, const char *key) {
  if (record->parseState == PSTATE_COLLECTING)
    flushCharData(record);
  if (record->parseState == PSTATE_ERROR)
    return 0;
  lua_State *L = record->scriptState;
  host::lua_pushstring(L, key);
  host::lua_gettable(L, SLOT_CALLBACKS);
  int type = host::lua_type(L, -1);
  if (type == LUA_TFUNCTION) {
    host::lua_pushvalue(L, SLOT_SELF);
    return 1;
  }
  /* nil, 0 and "0" switch a callback off. */
  bool off = type == LUA_TNIL || (host::lua_isnumber(L, -1) && host::lua_tonumber(L, -1) == 0);
  host::lua_settop(L, -2);
  if (!off)
    deferError(record, errorIds[ERR_NOT_A_FUNCTION], key);
  return 0;
}

int callCallback(ParserRecord *record, int nargs, int nresults) {
  int status = host::lua_pcall(record->scriptState, nargs + 1, nresults, 0);
  if (status != 0)
    deferError(record, status, nullptr);
  return status;
}

void flushCharData(ParserRecord *record) {
  record->parseState = PSTATE_PARSING;
  host::luaL_pushresult(record->charBuffer);
  callCallback(record, 1, 0);
}

void XMLCALL onCharacterData(void *userData, const XML_Char *text, int length) {
  auto *record = static_cast<ParserRecord *>(userData);
  switch (record->parseState) {
  case PSTATE_PARSING:
    if (!fetchCallback(record, "characterdata"))
      return;
    if (!record->mergeCharData) {
      host::lua_pushlstring(record->scriptState, text, static_cast<size_t>(length));
      callCallback(record, 1, 0);
      return;
    }
    /* The callback and self stay pushed beneath the buffer until the flush. */
    record->parseState = PSTATE_COLLECTING;
    host::luaL_buffinit(record->scriptState, record->charBuffer);
    host::luaL_addlstring(record->charBuffer, text, static_cast<size_t>(length));
    return;
  case PSTATE_COLLECTING:
    host::luaL_addlstring(record->charBuffer, text, static_cast<size_t>(length));
    return;
  default:
    return;
  }
}
