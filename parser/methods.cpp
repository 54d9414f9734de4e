/*
 * The methods of parser objects, and the parse step that Parse and Free
 * share.
 */
#include "encodings/encodings.h"
#include "host/services.h"
#include "parser/commands.h"
#include "parser/dispatch.h"
#include "parser/feed.h"
#include "parser/positions.h"
#include "parser/record.h"
#include "plugin/errors.h"

namespace {

enum { ARG_SELF = 1, ARG_VALUE = 2 };

/* Expat refuses to stop a parser that has not started (from 2.6.4 on, and
   in Debian's security updates of 2.5), where older ones finished it. Stop
   therefore starts a new parser first, with an empty chunk that reports no
   event, so that stopping it finishes it on every Expat. */
XML_Status startExpat(XML_Parser parser) {
  if (expatSetupFailed(parser))
    return XML_STATUS_ERROR;
  XML_ParsingStatus status;
  XML_GetParsingStatus(parser, &status);
  if (status.parsing != XML_INITIALIZED)
    return XML_STATUS_OK;
  return XML_Parse(parser, "", 0, XML_FALSE);
}

/* Pushes the parser metatable and its event command (the collector hook,
   the one plugin command that runs even while the state closes). */
void pushEventCommand(lua_State *L) {
  host::luaL_newmetatable(L, PARSER_METATABLE);
  host::lua_pushstring(L, "__gc");
  host::lua_gettable(L, -2);
}

/* The parse step: feeds one chunk (null text: the final one), delivers
   what was merged, raises a kept callback error, else pushes 1 or 0.
   The events of a child parser go to its parent's record; for the length
   of this step that record collects into this step's text and is flushed
   before the step returns, so nothing collected here outlives the frame.
   Everything that can raise is done before the step begins or after it
   has ended. */
int parseChunk(lua_State *L, ParserRecord *record, const char *text, size_t length) {
  auto *events = static_cast<ParserRecord *>(XML_GetUserData(record->expatParser));
  host::lua_settop(L, ARG_VALUE);
  host::lua_rawgeti(L, LUA_REGISTRYINDEX, record->callbackRef);
  pushEventCommand(L);
  CollectedText collected = {nullptr, 0, 0};
  StepContext saved = beginStep(events, StepContext{L, &collected, pushCallbackKeys(L, events)});
  record->parseState = PSTATE_PARSING;
  record->failed = 0;

  /* Until the step is over, callbacks cannot start another step on this
     object or free it (Parse and Free refuse while running). */
  record->running++;
  XML_Status status = feedExpat(record, text, length);
  flushText(events);
  record->running--;
  endStep(events, saved);
  if (record->failed)
    host::RaiseError(L, pushDeferredError(L, record));
  if (!text)
    record->parseState = PSTATE_FINISHED;
  host::lua_pushnumber(L, status == XML_STATUS_OK ? 1 : 0);
  return 1;
}

void pushPosition(lua_State *L, XML_Parser parser) {
  host::lua_pushnumber(L, static_cast<lua_Number>(expatLineNumber(parser)));
  host::lua_pushnumber(L, static_cast<lua_Number>(expatColumnNumber(parser)) + 1);
  host::lua_pushnumber(L, static_cast<lua_Number>(expatByteIndex(parser)) + 1);
}

} // namespace

namespace parser {

int Parse(lua_State *L) {
  size_t length = 0;
  const char *text = host::luaL_optlstring(L, ARG_VALUE, nullptr, &length);
  ParserRecord *record;
  if (int error = checkParserArg(L, &record))
    return error;
  /* A parser cannot be fed from inside its own callbacks. */
  if (record->running)
    return errorIds[ERR_INVALID_STATE];
  if (record->parseState == PSTATE_FINISHED && text) {
    host::lua_pushnumber(L, 0);
    return 1;
  }
  return parseChunk(L, record, text, length);
}

int Free(lua_State *L) {
  auto *record = static_cast<ParserRecord *>(host::luaL_checkudata(L, ARG_SELF, PARSER_METATABLE));
  if (!record)
    return errorIds[ERR_PARSER_EXPECTED];
  /* A step still running (Free called from one of the object's own
     callbacks) is refused. */
  if (record->running)
    return errorIds[ERR_INVALID_STATE];
  /* An unfinished parse gets its final chunk first; a closed object (a
     child kept past its callback) has nothing left to finish. */
  if (record->parseState != PSTATE_FINISHED && record->expatParser)
    parseChunk(L, record, nullptr, 0);
  closeParserRecord(L, record);
  return 0;
}

int Stop(lua_State *L) {
  ParserRecord *record;
  if (int error = checkParserArg(L, &record))
    return error;
  XML_Status status = startExpat(record->expatParser);
  if (status == XML_STATUS_OK)
    status = XML_StopParser(record->expatParser, XML_FALSE);
  host::lua_pushnumber(L, status == XML_STATUS_OK ? 1 : 0);
  return 1;
}

int GetPosition(lua_State *L) {
  ParserRecord *record;
  if (int error = checkParserArg(L, &record))
    return error;
  pushPosition(L, record->expatParser);
  return 3;
}

int GetError(lua_State *L) {
  ParserRecord *record;
  if (int error = checkParserArg(L, &record))
    return error;
  /* Expat has no message for "no error": that pushes nil. */
  host::lua_pushstring(L, encodings::errorText(record->expatParser, record->encodingFault));
  pushPosition(L, record->expatParser);
  return 4;
}

int SetEncoding(lua_State *L) {
  const char *encoding = host::luaL_checklstring(L, ARG_VALUE, nullptr);
  ParserRecord *record;
  if (int error = checkParserArg(L, &record))
    return error;
  if (record->parseState != PSTATE_NOT_STARTED)
    return errorIds[ERR_INVALID_STATE];
  /* Expat refuses a name only while it parses, which the state excludes,
     or when it has no memory for its copy: the script gets the message
     that GetError gives when a parse runs out of memory. */
  if (XML_SetEncoding(record->expatParser, encoding) != XML_STATUS_OK) {
    host::lua_pushstring(L, XML_ErrorString(XML_ERROR_NO_MEMORY));
    host::RaiseError(L, LUA_ERRMEM);
  }
  return 0;
}

int SetBase(lua_State *L) {
  ParserRecord *record;
  if (int error = checkParserArg(L, &record))
    return error;
  const char *base = host::luaL_checklstring(L, ARG_VALUE, nullptr);
  if (XML_SetBase(record->expatParser, base) == XML_STATUS_ERROR)
    return errorIds[ERR_GENERIC];
  return 0;
}

int GetBase(lua_State *L) {
  ParserRecord *record;
  if (int error = checkParserArg(L, &record))
    return error;
  host::lua_pushstring(L, XML_GetBase(record->expatParser));
  return 1;
}

int GetCallbacks(lua_State *L) {
  ParserRecord *record;
  if (int error = checkParserArg(L, &record))
    return error;
  host::lua_rawgeti(L, LUA_REGISTRYINDEX, record->callbackRef);
  return 1;
}

} // namespace parser
