/*
 * The methods of parser objects, and the parse step that Parse and Free
 * share.
 */
#include <limits.h>

#include "encodings/encodings.h"
#include "host/services.h"
#include "parser/commands.h"
#include "parser/dispatch.h"
#include "parser/positions.h"
#include "parser/record.h"
#include "plugin/errors.h"

namespace {

enum { ARG_SELF = 1, ARG_VALUE = 2 };

/* When the first XML_Parse of a parser with namespace processing runs out
   of memory while Expat sets up its namespace bindings, Expat (2.5) leaves
   the parser half set up in its initial state, and a further XML_Parse
   would crash in it. Such a parser keeps its "out of memory" error and is
   never fed again. */
bool setupFailed(XML_Parser parser) {
  XML_ParsingStatus status;
  XML_GetParsingStatus(parser, &status);
  return status.parsing == XML_INITIALIZED && XML_GetErrorCode(parser) != XML_ERROR_NONE;
}

/* Expat refuses to stop a parser that has not started (from 2.6.4 on, and
   in Debian's security updates of 2.5), where older ones finished it. Stop
   therefore starts a new parser first, with an empty chunk that reports no
   event, so that stopping it finishes it on every Expat. */
XML_Status startExpat(XML_Parser parser) {
  if (setupFailed(parser))
    return XML_STATUS_ERROR;
  XML_ParsingStatus status;
  XML_GetParsingStatus(parser, &status);
  if (status.parsing != XML_INITIALIZED)
    return XML_STATUS_OK;
  return XML_Parse(parser, "", 0, XML_FALSE);
}

/* The size of the next piece of a text of length bytes. Expat (2.5) scans
   a token still open at the end of a piece again from its start with every
   later piece: the piece is at least as long as that open tail, so that
   the pieces double while a long token stays open and the work stays
   linear in the text's length. */
size_t nextPiece(const ParserRecord *record, size_t length) {
  int64_t at = expatByteIndex(record->expatParser);
  int64_t tail = at >= 0 && at <= record->bytesFed ? record->bytesFed - at : 0;
  int64_t piece = tail > record->pieceSize ? tail : record->pieceSize;
  /* Expat's buffer holds the tail and the piece within an int. */
  if (piece > INT_MAX / 2)
    piece = INT_MAX / 2;
  return length < static_cast<uint64_t>(piece) ? length : static_cast<size_t>(piece);
}

/* Feeds a text of any length in pieces (XML_Parse takes an int length). With
   merging off, character data therefore also arrive split where pieces
   meet. */
XML_Status feedExpat(ParserRecord *record, const char *text, size_t length) {
  XML_Parser parser = record->expatParser;
  if (setupFailed(parser))
    return XML_STATUS_ERROR;
  if (!text)
    return XML_Parse(parser, nullptr, 0, XML_TRUE);
  XML_Status status;
  do {
    size_t piece = nextPiece(record, length);
    status = XML_Parse(parser, text, static_cast<int>(piece), XML_FALSE);
    record->bytesFed += static_cast<int64_t>(piece);
    text += piece;
    length -= piece;
  } while (length > 0 && status == XML_STATUS_OK);
  return status;
}

/* The parse step: feeds one chunk (null text: the final one), delivers
   what was merged, raises a kept callback error, else pushes 1 or 0.
   The events of a child parser go to its parent's record; for the length
   of this step that record collects into this step's buffer and is flushed
   before the step returns, so nothing collected here outlives the frame. */
int parseChunk(lua_State *L, ParserRecord *record, const char *text, size_t length) {
  luaL_Buffer buffer;
  auto *events = static_cast<ParserRecord *>(XML_GetUserData(record->expatParser));
  lua_State *savedState = events->scriptState;
  luaL_Buffer *savedBuffer = events->charBuffer;
  ParserRecord *savedStep = events->stepRecord;
  uint32_t savedKeys = events->stepKeys;

  record->parseState = PSTATE_PARSING;
  record->scriptState = L;
  record->charBuffer = &buffer;
  events->scriptState = L;
  events->charBuffer = &buffer;
  events->stepRecord = record;

  host::lua_settop(L, ARG_VALUE);
  host::lua_rawgeti(L, LUA_REGISTRYINDEX, record->callbackRef);
  events->stepKeys = pushCallbackKeys(L, events);

  /* Until the step is over, callbacks cannot start another step on this
     object or free it (Parse and Free refuse while running). */
  record->running++;
  XML_Status status = feedExpat(record, text, length);
  if (events->parseState == PSTATE_COLLECTING)
    flushCharData(events);
  record->running--;
  events->stepKeys = savedKeys;
  if (events != record) {
    events->scriptState = savedState;
    events->charBuffer = savedBuffer;
    events->stepRecord = savedStep;
  }
  if (record->parseState == PSTATE_ERROR)
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
  /* A step broken off by the script engine left Expat midway: close the
     object without parsing. A step still running (Free called from one of
     the object's own callbacks) is refused. */
  if (isBroken(record)) {
    closeParserRecord(L, record);
    record->running = 0;
    return 0;
  }
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
  if (XML_SetEncoding(record->expatParser, encoding) != XML_STATUS_OK)
    return errorIds[ERR_GENERIC];
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
