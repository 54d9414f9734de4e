// Handlers of the document body: elements, character data with the merging
// rule, comments, processing instructions, CDATA sections, default data,
// namespace declarations, the XML declaration and skipped entities.
#include "events/callbacks.h"

#include "host/services.h"
#include "parser/dispatch.h"

/* Name to value, in Expat's order; an element without attributes still
   gets a table. */
static void pushAttributes(lua_State *L, const void *data) {
  host::lua_newtable(L);
  for (auto pair = static_cast<const XML_Char *const *>(data); pair[0]; pair += 2) {
    host::lua_pushstring(L, pair[0]);
    host::lua_pushstring(L, pair[1]);
    host::lua_settable(L, -3);
  }
}

void XMLCALL onStartElement(void *userData, const XML_Char *name, const XML_Char **attributes) {
  ScriptEvent event = {KEY_STARTELEMENT, 2, {stringArg(name), pushedArg(pushAttributes, attributes)}};
  dispatchEvent(userData, &event);
}

void XMLCALL onEndElement(void *userData, const XML_Char *name) {
  ScriptEvent event = {KEY_ENDELEMENT, 1, {stringArg(name)}};
  dispatchEvent(userData, &event);
}

/* Merged, the text is collected and delivered before the next event. */
void XMLCALL onCharacterData(void *userData, const XML_Char *text, int length) {
  if (static_cast<ParserRecord *>(userData)->mergeCharData) {
    collectText(userData, text, length);
    return;
  }
  ScriptEvent event = {KEY_CHARACTERDATA, 1, {textArg(text, length)}};
  dispatchEvent(userData, &event);
}

void XMLCALL onComment(void *userData, const XML_Char *text) {
  ScriptEvent event = {KEY_COMMENT, 1, {stringArg(text)}};
  dispatchEvent(userData, &event);
}

void XMLCALL onProcessingInstruction(void *userData, const XML_Char *target, const XML_Char *data) {
  ScriptEvent event = {KEY_PROCESSINGINSTRUCTION, 2, {stringArg(target), stringArg(data)}};
  dispatchEvent(userData, &event);
}

void XMLCALL onStartCdataSection(void *userData) {
  ScriptEvent event = {KEY_STARTCDATASECTION, 0, {}};
  dispatchEvent(userData, &event);
}

void XMLCALL onEndCdataSection(void *userData) {
  ScriptEvent event = {KEY_ENDCDATASECTION, 0, {}};
  dispatchEvent(userData, &event);
}

void XMLCALL onDefault(void *userData, const XML_Char *text, int length) {
  ScriptEvent event = {KEY_DEFAULTHANDLER, 1, {textArg(text, length)}};
  dispatchEvent(userData, &event);
}

void XMLCALL onDefaultExpand(void *userData, const XML_Char *text, int length) {
  ScriptEvent event = {KEY_DEFAULTEXPAND, 1, {textArg(text, length)}};
  dispatchEvent(userData, &event);
}

void XMLCALL onStartNamespaceDecl(void *userData, const XML_Char *prefix, const XML_Char *uri) {
  ScriptEvent event = {KEY_STARTNAMESPACEDECL, 2, {stringArg(prefix), stringArg(uri)}};
  dispatchEvent(userData, &event);
}

void XMLCALL onEndNamespaceDecl(void *userData, const XML_Char *prefix) {
  ScriptEvent event = {KEY_ENDNAMESPACEDECL, 1, {stringArg(prefix)}};
  dispatchEvent(userData, &event);
}

void XMLCALL onXmlDecl(void *userData, const XML_Char *version, const XML_Char *encoding,
                       int standalone) {
  ScriptEvent event = {KEY_XMLDECL, 3,
                       {stringArg(version), stringArg(encoding), numberArg(standalone)}};
  dispatchEvent(userData, &event);
}

void XMLCALL onSkippedEntity(void *userData, const XML_Char *name, int isParameterEntity) {
  ScriptEvent event = {KEY_SKIPPEDENTITY, 2, {stringArg(name), numberArg(isParameterEntity)}};
  dispatchEvent(userData, &event);
}
