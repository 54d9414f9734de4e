// Handlers of the document type declaration: its start and end, entity,
// notation and attribute-list declarations, the standalone check, and
// references to external entities, parsed through child parser objects.
#include "events/callbacks.h"

#include "encodings/encodings.h"
#include "host/services.h"
#include "parser/dispatch.h"
#include "plugin/errors.h"

static ParserRecord *recordOf(void *userData) {
  return static_cast<ParserRecord *>(userData);
}

void XMLCALL onStartDoctypeDecl(void *userData, const XML_Char *name, const XML_Char *systemId,
                                const XML_Char *publicId, int hasInternalSubset) {
  ParserRecord *record = recordOf(userData);
  if (!fetchCallback(record, KEY_STARTDOCTYPEDECL))
    return;
  lua_State *L = record->scriptState;
  host::lua_pushstring(L, name);
  host::lua_pushstring(L, systemId);
  host::lua_pushstring(L, publicId);
  host::lua_pushnumber(L, hasInternalSubset ? 1 : 0);
  callCallback(record, 4, 0);
}

void XMLCALL onEndDoctypeDecl(void *userData) {
  selfEvent(userData, KEY_ENDDOCTYPEDECL);
}

void XMLCALL onEntityDecl(void *userData, const XML_Char *name, int isParameterEntity,
                          const XML_Char *value, int valueLength, const XML_Char *base,
                          const XML_Char *systemId, const XML_Char *publicId,
                          const XML_Char *notationName) {
  ParserRecord *record = recordOf(userData);
  if (!fetchCallback(record, KEY_ENTITYDECL))
    return;
  lua_State *L = record->scriptState;
  host::lua_pushstring(L, name);
  host::lua_pushnumber(L, isParameterEntity);
  /* An internal entity's replacement text is counted and may hold zero
     bytes; an external entity has none. */
  if (value)
    host::lua_pushlstring(L, value, static_cast<size_t>(valueLength));
  else
    host::lua_pushnil(L);
  host::lua_pushstring(L, base);
  host::lua_pushstring(L, systemId);
  host::lua_pushstring(L, publicId);
  host::lua_pushstring(L, notationName);
  callCallback(record, 7, 0);
}

void XMLCALL onUnparsedEntityDecl(void *userData, const XML_Char *name, const XML_Char *base,
                                  const XML_Char *systemId, const XML_Char *publicId,
                                  const XML_Char *notationName) {
  const XML_Char *const strings[] = {name, base, systemId, publicId, notationName};
  stringsEvent(userData, KEY_UNPARSEDENTITYDECL, strings, 5);
}

void XMLCALL onNotationDecl(void *userData, const XML_Char *name, const XML_Char *base,
                            const XML_Char *systemId, const XML_Char *publicId) {
  const XML_Char *const strings[] = {name, base, systemId, publicId};
  stringsEvent(userData, KEY_NOTATIONDECL, strings, 4);
}

void XMLCALL onAttlistDecl(void *userData, const XML_Char *elementName,
                           const XML_Char *attributeName, const XML_Char *attributeType,
                           const XML_Char *defaultValue, int isRequired) {
  ParserRecord *record = recordOf(userData);
  if (!fetchCallback(record, KEY_ATTLISTDECL))
    return;
  lua_State *L = record->scriptState;
  host::lua_pushstring(L, elementName);
  host::lua_pushstring(L, attributeName);
  host::lua_pushstring(L, attributeType);
  host::lua_pushstring(L, defaultValue);
  host::lua_pushnumber(L, isRequired);
  callCallback(record, 5, 0);
}

/* Expat ends the parse with "document is not standalone" when this returns
   0; a callback that returns nothing therefore refuses. */
int XMLCALL onNotStandalone(void *userData) {
  ParserRecord *record = recordOf(userData);
  if (!fetchCallback(record, KEY_NOTSTANDALONE))
    return 1;
  callCallback(record, 0, 1);
  return popIntegerResult(record->scriptState);
}

/* The child object lives for the callback only: the script parses the
   entity's text with it, and it is closed on the way back, so a kept child
   reports "Parser is closed!". Its events reach the callbacks through the
   parent's record, which the child Expat parser inherits as user data.
   With parameter-entity parsing on, the external DTD subset and external
   parameter entities come here too, with a null context: Expat then makes
   a child that reads declarations into the parent's DTD (or, for a
   parameter entity met inside an entity value, that value). */
int XMLCALL onExternalEntityRef(XML_Parser parser, const XML_Char *context, const XML_Char *base,
                                const XML_Char *systemId, const XML_Char *publicId) {
  ParserRecord *record = recordOf(XML_GetUserData(parser));
  lua_State *L = record->scriptState;
  if (!fetchCallback(record, KEY_EXTERNALENTITYREF))
    return 1;
  /* Stack: callback, self, child; the call gets copies, so that the child
     stays anchored until it is closed, whatever the script does with it. */
  ParserRecord *child = createParserRecord(L);
  child->expatParser = XML_ExternalEntityParserCreate(parser, context, nullptr);
  if (!child->expatParser) {
    /* Raised by the parse step once Expat has returned; the 0 ends the
       parse here. */
    host::lua_settop(L, -4);
    deferError(record, errorIds[ERR_PARSER_CREATE], nullptr);
    return 0;
  }
  encodings::installHandler(child->expatParser, &child->encodingFault);
  host::lua_rawgeti(L, LUA_REGISTRYINDEX, record->callbackRef);
  child->callbackRef = host::luaL_ref(L, LUA_REGISTRYINDEX);
  host::lua_pushvalue(L, -3);
  host::lua_pushvalue(L, -3);
  host::lua_pushvalue(L, -3);
  host::lua_pushstring(L, base);
  host::lua_pushstring(L, systemId);
  host::lua_pushstring(L, publicId);
  callCallback(record, 4, 1);
  int result = popIntegerResult(L);
  closeParserRecord(L, child);
  host::lua_settop(L, -4);
  return result;
}
