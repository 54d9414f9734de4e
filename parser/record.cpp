#include "parser/record.h"

#include "host/services.h"
#include "plugin/errors.h"

ParserRecord *createParserRecord(lua_State *L) {
  auto *record = static_cast<ParserRecord *>(host::lua_newuserdata(L, sizeof(ParserRecord)));
  record->scriptState = nullptr;
  record->expatParser = nullptr;
  record->callbackRef = LUA_REFNIL;
  record->parseState = PSTATE_NOT_STARTED;
  record->charBuffer = nullptr;
  record->mergeCharData = 0;
  record->callbackError = 0;
  record->errorArgument = nullptr;
  record->running = 0;
  record->callbackDepth = 0;
  record->stepRecord = record;
  record->keyMask = 0;
  for (uint8_t &slot : record->keySlot)
    slot = 0;
  record->stepKeys = 0;
  host::luaL_newmetatable(L, PARSER_METATABLE);
  host::lua_setmetatable(L, -2);
  return record;
}

void closeParserRecord(lua_State *L, ParserRecord *record) {
  host::luaL_unref(L, LUA_REGISTRYINDEX, record->callbackRef);
  record->callbackRef = LUA_REFNIL;
  if (record->expatParser)
    XML_ParserFree(record->expatParser);
  record->expatParser = nullptr;
}

int checkParserArg(lua_State *L, ParserRecord **record) {
  *record = static_cast<ParserRecord *>(host::luaL_checkudata(L, 1, PARSER_METATABLE));
  if (!*record)
    return errorIds[ERR_PARSER_EXPECTED];
  if (!(*record)->expatParser)
    return errorIds[ERR_PARSER_CLOSED];
  if (isBroken(*record))
    return errorIds[ERR_INVALID_STATE];
  return 0;
}

bool isBroken(const ParserRecord *record) {
  return record->running > 0 && record->callbackDepth == 0;
}

void deferError(ParserRecord *record, int errorId, const char *argument) {
  record->callbackError = errorId;
  record->errorArgument = argument;
  record->parseState = PSTATE_ERROR;
}
