// Handlers of the document body: elements, character data with the merging
// rule, comments, processing instructions, CDATA sections, default data,
// namespace declarations, the XML declaration and skipped entities.
#include "events/callbacks.h"

#include "host/services.h"
#include "parser/dispatch.h"

static ParserRecord *recordOf(void *userData) {
  return static_cast<ParserRecord *>(userData);
}

void XMLCALL onStartElement(void *userData, const XML_Char *name, const XML_Char **attributes) {
  ParserRecord *record = recordOf(userData);
  if (!fetchCallback(record, KEY_STARTELEMENT))
    return;
  lua_State *L = record->scriptState;
  host::lua_pushstring(L, name);
  /* Name to value, in Expat's order; an element without attributes still
     gets a table. */
  host::lua_newtable(L);
  for (const XML_Char **pair = attributes; pair[0]; pair += 2) {
    host::lua_pushstring(L, pair[0]);
    host::lua_pushstring(L, pair[1]);
    host::lua_settable(L, -3);
  }
  callCallback(record, 2, 0);
}

void XMLCALL onEndElement(void *userData, const XML_Char *name) {
  stringEvent(userData, KEY_ENDELEMENT, name);
}

void XMLCALL onCharacterData(void *userData, const XML_Char *text, int length) {
  ParserRecord *record = recordOf(userData);
  switch (record->parseState) {
  case PSTATE_PARSING:
    if (!fetchCallback(record, KEY_CHARACTERDATA))
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

void XMLCALL onComment(void *userData, const XML_Char *text) {
  stringEvent(userData, KEY_COMMENT, text);
}

void XMLCALL onProcessingInstruction(void *userData, const XML_Char *target, const XML_Char *data) {
  const XML_Char *const strings[] = {target, data};
  stringsEvent(userData, KEY_PROCESSINGINSTRUCTION, strings, 2);
}

void XMLCALL onStartCdataSection(void *userData) {
  selfEvent(userData, KEY_STARTCDATASECTION);
}

void XMLCALL onEndCdataSection(void *userData) {
  selfEvent(userData, KEY_ENDCDATASECTION);
}

void XMLCALL onDefault(void *userData, const XML_Char *text, int length) {
  textEvent(userData, KEY_DEFAULTHANDLER, text, length);
}

void XMLCALL onDefaultExpand(void *userData, const XML_Char *text, int length) {
  textEvent(userData, KEY_DEFAULTEXPAND, text, length);
}

void XMLCALL onStartNamespaceDecl(void *userData, const XML_Char *prefix, const XML_Char *uri) {
  const XML_Char *const strings[] = {prefix, uri};
  stringsEvent(userData, KEY_STARTNAMESPACEDECL, strings, 2);
}

void XMLCALL onEndNamespaceDecl(void *userData, const XML_Char *prefix) {
  stringEvent(userData, KEY_ENDNAMESPACEDECL, prefix);
}

void XMLCALL onXmlDecl(void *userData, const XML_Char *version, const XML_Char *encoding,
                       int standalone) {
  ParserRecord *record = recordOf(userData);
  if (!fetchCallback(record, KEY_XMLDECL))
    return;
  lua_State *L = record->scriptState;
  host::lua_pushstring(L, version);
  host::lua_pushstring(L, encoding);
  host::lua_pushnumber(L, standalone);
  callCallback(record, 3, 0);
}

void XMLCALL onSkippedEntity(void *userData, const XML_Char *name, int isParameterEntity) {
  ParserRecord *record = recordOf(userData);
  if (!fetchCallback(record, KEY_SKIPPEDENTITY))
    return;
  host::lua_pushstring(record->scriptState, name);
  host::lua_pushnumber(record->scriptState, isParameterEntity);
  callCallback(record, 2, 0);
}
