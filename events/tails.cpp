// The tails that several handlers share, and the conversion of a callback's
// result into the integer that Expat expects back.
#include "events/callbacks.h"

#include "host/numbers.h"
#include "host/services.h"
#include "parser/dispatch.h"

void stringsEvent(void *userData, CallbackKey key, const XML_Char *const strings[], int count) {
  ParserRecord *record = static_cast<ParserRecord *>(userData);
  if (!fetchCallback(record, key))
    return;
  for (int i = 0; i < count; i++)
    host::lua_pushstring(record->scriptState, strings[i]);
  callCallback(record, count, 0);
}

void stringEvent(void *userData, CallbackKey key, const XML_Char *text) {
  stringsEvent(userData, key, &text, 1);
}

void selfEvent(void *userData, CallbackKey key) {
  ParserRecord *record = static_cast<ParserRecord *>(userData);
  if (!fetchCallback(record, key))
    return;
  callCallback(record, 0, 0);
}

void textEvent(void *userData, CallbackKey key, const XML_Char *text, int length) {
  ParserRecord *record = static_cast<ParserRecord *>(userData);
  if (!fetchCallback(record, key))
    return;
  host::lua_pushlstring(record->scriptState, text, static_cast<size_t>(length));
  callCallback(record, 1, 0);
}

int popIntegerResult(lua_State *L) {
  lua_Number n = host::lua_tonumber(L, -1);
  host::lua_settop(L, -2);
  return saturateToInt32(n);
}
