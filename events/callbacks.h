/*
 * The Expat handlers behind the callback keys. Every handler receives the
 * ParserRecord of the parser object as its user data (a child parser made
 * for an external entity inherits its parent's) and follows one pattern:
 * describe the event (its key and arguments) and dispatch it (see
 * parser/dispatch.h).
 */
#ifndef VELLORAN_EVENTS_CALLBACKS_H
#define VELLORAN_EVENTS_CALLBACKS_H

#include <expat.h>

#include "events/keys.h"
#include "parser/record.h"

/* ---- document events ---------------------------------------------------- */

void XMLCALL onStartElement(void *userData, const XML_Char *name, const XML_Char **attributes);
void XMLCALL onEndElement(void *userData, const XML_Char *name);
/* Character data, merged or not (see collectText in parser/dispatch.h). */
void XMLCALL onCharacterData(void *userData, const XML_Char *text, int length);
void XMLCALL onComment(void *userData, const XML_Char *text);
void XMLCALL onProcessingInstruction(void *userData, const XML_Char *target, const XML_Char *data);
void XMLCALL onStartCdataSection(void *userData);
void XMLCALL onEndCdataSection(void *userData);
void XMLCALL onDefault(void *userData, const XML_Char *text, int length);
void XMLCALL onDefaultExpand(void *userData, const XML_Char *text, int length);
void XMLCALL onStartNamespaceDecl(void *userData, const XML_Char *prefix, const XML_Char *uri);
void XMLCALL onEndNamespaceDecl(void *userData, const XML_Char *prefix);
void XMLCALL onXmlDecl(void *userData, const XML_Char *version, const XML_Char *encoding,
                       int standalone);
void XMLCALL onSkippedEntity(void *userData, const XML_Char *name, int isParameterEntity);

/* ---- DTD events ----------------------------------------------------------- */

void XMLCALL onStartDoctypeDecl(void *userData, const XML_Char *name, const XML_Char *systemId,
                                const XML_Char *publicId, int hasInternalSubset);
void XMLCALL onEndDoctypeDecl(void *userData);
void XMLCALL onEntityDecl(void *userData, const XML_Char *name, int isParameterEntity,
                          const XML_Char *value, int valueLength, const XML_Char *base,
                          const XML_Char *systemId, const XML_Char *publicId,
                          const XML_Char *notationName);
void XMLCALL onUnparsedEntityDecl(void *userData, const XML_Char *name, const XML_Char *base,
                                  const XML_Char *systemId, const XML_Char *publicId,
                                  const XML_Char *notationName);
void XMLCALL onNotationDecl(void *userData, const XML_Char *name, const XML_Char *base,
                            const XML_Char *systemId, const XML_Char *publicId);
void XMLCALL onAttlistDecl(void *userData, const XML_Char *elementName,
                           const XML_Char *attributeName, const XML_Char *attributeType,
                           const XML_Char *defaultValue, int isRequired);
void XMLCALL onElementDecl(void *userData, const XML_Char *name, XML_Content *model);
int XMLCALL onNotStandalone(void *userData);
int XMLCALL onExternalEntityRef(XML_Parser parser, const XML_Char *context, const XML_Char *base,
                                const XML_Char *systemId, const XML_Char *publicId);

#endif
