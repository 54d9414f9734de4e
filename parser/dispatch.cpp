#include "parser/dispatch.h"

#include "host/services.h"
#include "plugin/errors.h"

/* Stack slots of the running parse step. */
enum { SLOT_SELF = 1, SLOT_CALLBACKS = 3 };

void setCallbackKeys(ParserRecord *record, uint32_t keys) {
  record->keyMask = keys;
  int slot = SLOT_FIRST_KEY;
  for (int key = 0; key < KEY_COUNT; key++)
    record->keySlot[key] = keys & (1u << key) ? static_cast<uint8_t>(slot++) : 0;
}

uint32_t pushCallbackKeys(lua_State *L, const ParserRecord *record) {
  uint32_t keys = record->keyMask;
  if (!keys || !host::lua_checkstack(L, __builtin_popcount(keys) + LUA_MINSTACK))
    return 0;
  for (int key = 0; key < KEY_COUNT; key++)
    if (keys & (1u << key))
      host::lua_pushstring(L, callbackKeys[key]);
  return keys;
}

/* Pushes the key string: a copy of the one the parse step pushed, or a new
   one when the step has none for this key. */
static void pushKey(lua_State *L, const ParserRecord *record, CallbackKey key) {
  if (record->stepKeys & (1u << key))
    host::lua_pushvalue(L, record->keySlot[key]);
  else
    host::lua_pushstring(L, callbackKeys[key]);
}

int fetchCallback(ParserRecord *record, CallbackKey key) {
  if (record->parseState == PSTATE_COLLECTING)
    flushCharData(record);
  if (record->parseState == PSTATE_ERROR)
    return 0;
  lua_State *L = record->scriptState;
  pushKey(L, record, key);
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
    deferError(record, errorIds[ERR_NOT_A_FUNCTION], callbackKeys[key]);
  return 0;
}

int callCallback(ParserRecord *record, int nargs, int nresults) {
  /* A callback may run the parse step of a child object on this record. If
     the script engine breaks that step off, the step cannot put back what
     it changed here: this call does, and drops text that the broken step
     was collecting in its own (now gone) frame. */
  lua_State *L = record->scriptState;
  luaL_Buffer *buffer = record->charBuffer;
  ParserRecord *step = record->stepRecord;
  uint32_t keys = record->stepKeys;
  step->callbackDepth++;
  int status = host::lua_pcall(L, nargs + 1, nresults, 0);
  step->callbackDepth--;
  record->scriptState = L;
  record->charBuffer = buffer;
  record->stepRecord = step;
  record->stepKeys = keys;
  if (record->parseState == PSTATE_COLLECTING)
    record->parseState = PSTATE_PARSING;
  if (status != 0)
    deferFailedCall(record, status);
  return status;
}

void flushCharData(ParserRecord *record) {
  record->parseState = PSTATE_PARSING;
  host::luaL_pushresult(record->charBuffer);
  callCallback(record, 1, 0);
}
