/*
 * xml.CreateParser and the collector hook of parser objects.
 */
#include "encodings/encodings.h"
#include "events/keys.h"
#include "host/numbers.h"
#include "host/services.h"
#include "parser/commands.h"
#include "parser/dispatch.h"
#include "parser/record.h"
#include "plugin/errors.h"

namespace {

enum { ARG_CALLBACKS = 1, ARG_SEPARATOR = 2, ARG_MERGE = 3 };

/* Whether the callback table (argument 1) holds a non-nil value under name. */
bool hasCallbackKey(lua_State *L, const char *name) {
  host::lua_pushstring(L, name);
  host::lua_gettable(L, ARG_CALLBACKS);
  bool present = host::lua_type(L, -1) != LUA_TNIL;
  host::lua_settop(L, -2);
  return present;
}

/* A readable name for the key on top of the stack. Keys without a text
   form are named by their type. */
const char *keyText(lua_State *L) {
  switch (host::lua_type(L, -1)) {
  case LUA_TSTRING:
  case LUA_TNUMBER:
    return host::lua_tostring(L, -1);
  case LUA_TBOOLEAN:
    return "<boolean>";
  case LUA_TTABLE:
    return "<table>";
  case LUA_TFUNCTION:
    return "<function>";
  case LUA_TUSERDATA:
  case LUA_TLIGHTUSERDATA:
    return "<userdata>";
  case LUA_TTHREAD:
    return "<thread>";
  default:
    return "<unknown>";
  }
}

/* Returns 0 when every key of the table is a callback key, else the id of
   "Invalid key" with the first bad key named. */
int validateKeys(lua_State *L) {
  host::lua_pushnil(L);
  while (host::lua_next(L, ARG_CALLBACKS)) {
    host::lua_settop(L, -2); /* the value */
    if (host::lua_type(L, -1) != LUA_TSTRING ||
        host::luaL_findstring(host::lua_tostring(L, -1), callbackKeys) < 0) {
      host::SetErrorArgument(keyText(L));
      return errorIds[ERR_INVALID_KEY];
    }
  }
  return 0;
}

/* Installs the handlers of the keys that the table holds, in key order;
   returns the set of keys whose handlers are registered (both keys of a
   pair). */
uint32_t registerHandlers(lua_State *L, XML_Parser parser) {
  uint32_t keys = 0;
  for (int key = 0; key < KEY_COUNT; key++) {
    if (!(keys & (1u << key)) && hasCallbackKey(L, callbackKeys[key]))
      keys |= registerKeyHandler(parser, key);
  }
  return keys;
}

/* The setup that every parser object shares: the callback table on top of
   the stack (popped) kept by reference, and, once made, its Expat parser
   with the unknown-encoding handler. */
void keepCallbacks(lua_State *L, ParserRecord *record) {
  record->callbackRef = host::luaL_ref(L, LUA_REGISTRYINDEX);
}

bool attachExpat(ParserRecord *record, XML_Parser parser) {
  record->expatParser = parser;
  if (!parser)
    return false;
  encodings::installHandler(parser, &record->encodingFault);
  return true;
}

} // namespace

ParserRecord *openChildRecord(lua_State *L, const ParserRecord *parent) {
  ParserRecord *child = createParserRecord(L);
  host::lua_rawgeti(L, LUA_REGISTRYINDEX, parent->callbackRef);
  keepCallbacks(L, child);
  return child;
}

bool openChildParser(ParserRecord *child, XML_Parser parser, const XML_Char *context) {
  return attachExpat(child, XML_ExternalEntityParserCreate(parser, context, nullptr));
}

namespace parser {

int CreateParser(lua_State *L) {
  /* The arguments are checked before anything is created, so that an error
     names them and not the new object. */
  host::luaL_checktype(L, ARG_CALLBACKS, LUA_TTABLE);
  const char *separator = host::luaL_optlstring(L, ARG_SEPARATOR, "", nullptr);
  lua_Number merge = host::luaL_optnumber(L, ARG_MERGE, 1);
  if (!hasCallbackKey(L, "_nonstrict")) {
    int error = validateKeys(L);
    if (error)
      return error;
  }

  ParserRecord *record = createParserRecord(L);
  record->mergeCharData = saturateToInt32(merge);
  /* Only the separator's first character counts; none means no namespaces. */
  if (!attachExpat(record, XML_ParserCreate_MM(nullptr, host::expatMemory(),
                                                separator[0] ? separator : nullptr)))
    return errorIds[ERR_PARSER_CREATE];

  host::lua_pushvalue(L, ARG_CALLBACKS);
  keepCallbacks(L, record);
  /* The slot for a failed callback's error value (see deferFailedCall). */
  host::lua_pushnumber(L, 0);
  record->errorRef = host::luaL_ref(L, LUA_REGISTRYINDEX);
  XML_SetUserData(record->expatParser, record);
  setCallbackKeys(record, registerHandlers(L, record->expatParser));
  return 1; /* the object, still on top */
}

int Collect(lua_State *L) {
  /* The hook is also the event command of parse steps (see dispatchEvent):
     called with an event's ticket, it delivers the event. */
  if (ScriptEvent *event = takePendingEvent(L))
    return deliverPendingEvent(L, event);
  auto *record = static_cast<ParserRecord *>(host::luaL_checkudata(L, 1, PARSER_METATABLE));
  if (!record)
    return errorIds[ERR_PARSER_EXPECTED];
  /* The collector never gets an object whose parse is running (the parse
     step holds it on the stack), but a script can call the hook as a
     method from one of the object's own callbacks: closing then would
     free the Expat parser under the running parse. */
  if (record->running)
    return errorIds[ERR_INVALID_STATE];
  closeParserRecord(L, record);
  return 0;
}

} // namespace parser
