/*
 * The methods that open a parser object to external DTDs (parameter-entity
 * parsing, a DTD for documents that declare none) and the one that hands a
 * callback the document text of its event.
 */
#include "host/services.h"
#include "parser/commands.h"
#include "parser/positions.h"
#include "parser/record.h"
#include "plugin/errors.h"

namespace {

enum { ARG_VALUE = 2 };

/* The modes that Expat knows; any other number is refused. */
bool knownMode(lua_Number mode) {
  return mode == XML_PARAM_ENTITY_PARSING_NEVER ||
         mode == XML_PARAM_ENTITY_PARSING_UNLESS_STANDALONE ||
         mode == XML_PARAM_ENTITY_PARSING_ALWAYS;
}

} // namespace

namespace parser {

/* Like the encoding, the mode is fixed once a parse step has run. The
   object is examined before the argument. */
int SetParamEntityParsing(lua_State *L) {
  ParserRecord *record;
  if (int error = checkParserArg(L, &record))
    return error;
  host::luaL_checktype(L, ARG_VALUE, LUA_TNUMBER);
  lua_Number mode = host::lua_tonumber(L, ARG_VALUE);
  if (record->parseState != PSTATE_NOT_STARTED)
    return errorIds[ERR_INVALID_STATE];
  int accepted =
      knownMode(mode) &&
      XML_SetParamEntityParsing(record->expatParser, static_cast<XML_ParamEntityParsing>(mode));
  host::lua_pushnumber(L, accepted ? 1 : 0);
  return 1;
}

/* The flag is a number, 1 (the default) or 0, as the plugin's yes and no
   are everywhere. */
int UseForeignDTD(lua_State *L) {
  ParserRecord *record;
  if (int error = checkParserArg(L, &record))
    return error;
  lua_Number flag = host::luaL_optnumber(L, ARG_VALUE, 1);
  if (record->parseState != PSTATE_NOT_STARTED)
    return errorIds[ERR_INVALID_STATE];
  if (XML_UseForeignDTD(record->expatParser, flag != 0 ? XML_TRUE : XML_FALSE) != XML_ERROR_NONE)
    return errorIds[ERR_GENERIC];
  return 0;
}

/* The bytes of the current event lie in Expat's input buffer, which only
   this object's own parse step changes, and that step cannot run while
   the copy is made (Parse refuses a running object). Outside its parse
   step an object has no current event. */
int GetInputContext(lua_State *L) {
  ParserRecord *record;
  if (int error = checkParserArg(L, &record))
    return error;
  int offset = 0, size = 0;
  const char *buffer =
      record->running ? expatInputContext(record->expatParser, &offset, &size) : nullptr;
  int count = expatByteCount(record->expatParser);
  if (!buffer || offset < 0 || count < 0 || offset > size || count > size - offset) {
    host::lua_pushnil(L);
    return 1;
  }
  host::lua_pushlstring(L, buffer + offset, static_cast<size_t>(count));
  return 1;
}

} // namespace parser
