#include "parser/record.h"

#include "host/services.h"
#include "parser/feed.h"
#include "plugin/errors.h"

/* Expat copies what each XML_Parse gets into a buffer of its own: pieces
   of this size are fastest, and keep that buffer small. */
static const int32_t DEFAULT_PIECE_SIZE = 64 * 1024;

static int32_t hostPieceSize() {
  int32_t size = 0;
  const TagItem query[] = {{HOSTINFO_TAG_PARSE_PIECE, reinterpret_cast<uintptr_t>(&size)},
                           {TAG_DONE, 0}};
  host::QueryHostInfo(query);
  return size > 0 ? size : DEFAULT_PIECE_SIZE;
}

ParserRecord *createParserRecord(lua_State *L) {
  auto *record = static_cast<ParserRecord *>(host::lua_newuserdata(L, sizeof(ParserRecord)));
  record->expatParser = nullptr;
  record->callbackRef = LUA_REFNIL;
  record->parseState = PSTATE_NOT_STARTED;
  record->mergeCharData = 0;
  record->failed = 0;
  record->collecting = 0;
  record->callbackError = 0;
  record->errorArgument = nullptr;
  record->running = 0;
  record->step = StepContext{nullptr, nullptr, 0};
  record->keyMask = 0;
  for (uint8_t &slot : record->keySlot)
    slot = 0;
  record->encodingFault = 0;
  record->errorRef = LUA_NOREF;
  record->errorKept = 0;
  record->pieceSize = hostPieceSize();
  record->bytesFed = 0;
  record->pending = nullptr;
  record->pendingLength = record->pendingCapacity = 0;
  host::luaL_newmetatable(L, PARSER_METATABLE);
  host::lua_setmetatable(L, -2);
  return record;
}

StepContext beginStep(ParserRecord *record, StepContext step) {
  StepContext saved = record->step;
  record->step = step;
  return saved;
}

void endStep(ParserRecord *record, StepContext saved) {
  if (record->step.text->data)
    host::FreeMem(record->step.text->data);
  record->step = saved;
}

void closeParserRecord(lua_State *L, ParserRecord *record) {
  host::luaL_unref(L, LUA_REGISTRYINDEX, record->callbackRef);
  record->callbackRef = LUA_REFNIL;
  host::luaL_unref(L, LUA_REGISTRYINDEX, record->errorRef);
  record->errorRef = LUA_NOREF;
  record->errorKept = 0;
  if (record->expatParser)
    XML_ParserFree(record->expatParser);
  record->expatParser = nullptr;
  dropPendingText(record);
}

int checkParserArg(lua_State *L, ParserRecord **record) {
  *record = static_cast<ParserRecord *>(host::luaL_checkudata(L, 1, PARSER_METATABLE));
  if (!*record)
    return errorIds[ERR_PARSER_EXPECTED];
  if (!(*record)->expatParser)
    return errorIds[ERR_PARSER_CLOSED];
  return 0;
}

void deferError(ParserRecord *record, int errorId, const char *argument) {
  record->callbackError = errorId;
  record->errorArgument = argument;
  record->failed = 1;
}

void deferNoMemory(ParserRecord *record) {
  deferError(record, LUA_ERRMEM, nullptr);
  record->errorKept = 0;
}

void deferFailedCall(lua_State *L, ParserRecord *record, int status) {
  deferError(record, status, nullptr);
  record->errorKept = 0;
  /* The slot exists already and never holds nil, so storing into it
     allocates nothing. The copy fits in the stack that the failed call has
     just given back. */
  if (record->errorRef > 0 && host::lua_type(L, -1) != LUA_TNIL) {
    host::lua_pushvalue(L, -1);
    host::lua_rawseti(L, LUA_REGISTRYINDEX, record->errorRef);
    record->errorKept = 1;
  }
}

int pushDeferredError(lua_State *L, ParserRecord *record) {
  if (record->errorArgument) {
    host::SetErrorArgument(record->errorArgument);
    return record->callbackError;
  }
  if (!record->errorKept) {
    /* The engine's own message when memory ran out outside it. */
    if (record->callbackError == LUA_ERRMEM)
      host::lua_pushstring(L, "not enough memory");
    else
      host::lua_pushnil(L);
    return record->callbackError;
  }
  host::lua_rawgeti(L, LUA_REGISTRYINDEX, record->errorRef);
  /* The slot lets go of the value (a number holds its place). */
  host::lua_pushnumber(L, 0);
  host::lua_rawseti(L, LUA_REGISTRYINDEX, record->errorRef);
  record->errorKept = 0;
  return record->callbackError;
}
