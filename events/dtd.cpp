// Handlers of the document type declaration: its start and end, entity,
// notation and attribute-list declarations, the standalone check, and
// references to external entities, parsed through child parser objects.
#include "events/callbacks.h"

#include "parser/dispatch.h"

void XMLCALL onStartDoctypeDecl(void *userData, const XML_Char *name, const XML_Char *systemId,
                                const XML_Char *publicId, int hasInternalSubset) {
  ScriptEvent event = {KEY_STARTDOCTYPEDECL, 4,
                       {stringArg(name), stringArg(systemId), stringArg(publicId),
                        numberArg(hasInternalSubset ? 1 : 0)}};
  dispatchEvent(userData, &event);
}

void XMLCALL onEndDoctypeDecl(void *userData) {
  ScriptEvent event = {KEY_ENDDOCTYPEDECL, 0, {}};
  dispatchEvent(userData, &event);
}

/* An internal entity's replacement text is counted and may hold zero
   bytes; an external entity has none (nil). */
void XMLCALL onEntityDecl(void *userData, const XML_Char *name, int isParameterEntity,
                          const XML_Char *value, int valueLength, const XML_Char *base,
                          const XML_Char *systemId, const XML_Char *publicId,
                          const XML_Char *notationName) {
  ScriptEvent event = {KEY_ENTITYDECL, 7,
                       {stringArg(name), numberArg(isParameterEntity), textArg(value, valueLength),
                        stringArg(base), stringArg(systemId), stringArg(publicId),
                        stringArg(notationName)}};
  dispatchEvent(userData, &event);
}

void XMLCALL onUnparsedEntityDecl(void *userData, const XML_Char *name, const XML_Char *base,
                                  const XML_Char *systemId, const XML_Char *publicId,
                                  const XML_Char *notationName) {
  ScriptEvent event = {KEY_UNPARSEDENTITYDECL, 5,
                       {stringArg(name), stringArg(base), stringArg(systemId), stringArg(publicId),
                        stringArg(notationName)}};
  dispatchEvent(userData, &event);
}

void XMLCALL onNotationDecl(void *userData, const XML_Char *name, const XML_Char *base,
                            const XML_Char *systemId, const XML_Char *publicId) {
  ScriptEvent event = {KEY_NOTATIONDECL, 4,
                       {stringArg(name), stringArg(base), stringArg(systemId), stringArg(publicId)}};
  dispatchEvent(userData, &event);
}

void XMLCALL onAttlistDecl(void *userData, const XML_Char *elementName,
                           const XML_Char *attributeName, const XML_Char *attributeType,
                           const XML_Char *defaultValue, int isRequired) {
  ScriptEvent event = {KEY_ATTLISTDECL, 5,
                       {stringArg(elementName), stringArg(attributeName), stringArg(attributeType),
                        stringArg(defaultValue), numberArg(isRequired)}};
  dispatchEvent(userData, &event);
}

/* Expat ends the parse with "document is not standalone" when this returns
   0; a callback that returns nothing therefore refuses. */
int XMLCALL onNotStandalone(void *userData) {
  ScriptEvent event = {KEY_NOTSTANDALONE, 0, {}};
  event.wantsResult = 1;
  event.result = 1;
  return dispatchEvent(userData, &event);
}

/* The child object lives for the callback only: the script parses the
   entity's text with it, and it is closed on the way back, so a kept child
   reports "Parser is closed!". Its events reach the callbacks through the
   parent's record, which the child Expat parser inherits as user data.
   With parameter-entity parsing on, the external DTD subset and external
   parameter entities come here too, with a null context: Expat then makes
   a child that reads declarations into the parent's DTD (or, for a
   parameter entity met inside an entity value, that value). A child that
   cannot be made ends the parse (0) with "XML_ParserCreate failed!". */
int XMLCALL onExternalEntityRef(XML_Parser parser, const XML_Char *context, const XML_Char *base,
                                const XML_Char *systemId, const XML_Char *publicId) {
  ScriptEvent event = {KEY_EXTERNALENTITYREF, 4,
                       {childArg(), stringArg(base), stringArg(systemId), stringArg(publicId)}};
  event.wantsResult = 1;
  event.result = 1;
  event.entityParser = parser;
  event.entityContext = context;
  return dispatchEvent(XML_GetUserData(parser), &event);
}
