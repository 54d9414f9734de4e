// The registration rows: which Expat handlers a parser object installs for
// the keys its callback table holds, one row per key.
#include "events/handlers.h"

#include "events/callbacks.h"

static void installCdataSection(XML_Parser p) {
  XML_SetCdataSectionHandler(p, onStartCdataSection, onEndCdataSection);
}
static void installCharacterData(XML_Parser p) {
  XML_SetCharacterDataHandler(p, onCharacterData);
}
static void installComment(XML_Parser p) {
  XML_SetCommentHandler(p, onComment);
}
/* Both default rows set Expat's one default handler: when a table has both
   keys the later row wins, and internal entities are expanded. */
static void installDefault(XML_Parser p) {
  XML_SetDefaultHandler(p, onDefault);
}
static void installDefaultExpand(XML_Parser p) {
  XML_SetDefaultHandlerExpand(p, onDefaultExpand);
}
static void installElement(XML_Parser p) {
  XML_SetElementHandler(p, onStartElement, onEndElement);
}
static void installExternalEntityRef(XML_Parser p) {
  XML_SetExternalEntityRefHandler(p, onExternalEntityRef);
}
static void installNamespaceDecl(XML_Parser p) {
  XML_SetNamespaceDeclHandler(p, onStartNamespaceDecl, onEndNamespaceDecl);
}
static void installNotationDecl(XML_Parser p) {
  XML_SetNotationDeclHandler(p, onNotationDecl);
}
static void installNotStandalone(XML_Parser p) {
  XML_SetNotStandaloneHandler(p, onNotStandalone);
}
static void installProcessingInstruction(XML_Parser p) {
  XML_SetProcessingInstructionHandler(p, onProcessingInstruction);
}
static void installUnparsedEntityDecl(XML_Parser p) {
  XML_SetUnparsedEntityDeclHandler(p, onUnparsedEntityDecl);
}
static void installStartDoctypeDecl(XML_Parser p) {
  XML_SetStartDoctypeDeclHandler(p, onStartDoctypeDecl);
}
static void installEntityDecl(XML_Parser p) {
  XML_SetEntityDeclHandler(p, onEntityDecl);
}
static void installAttlistDecl(XML_Parser p) {
  XML_SetAttlistDeclHandler(p, onAttlistDecl);
}
static void installElementDecl(XML_Parser p) {
  XML_SetElementDeclHandler(p, onElementDecl);
}
static void installEndDoctypeDecl(XML_Parser p) {
  XML_SetEndDoctypeDeclHandler(p, onEndDoctypeDecl);
}
static void installSkippedEntity(XML_Parser p) {
  XML_SetSkippedEntityHandler(p, onSkippedEntity);
}
static void installXmlDecl(XML_Parser p) {
  XML_SetXmlDeclHandler(p, onXmlDecl);
}

const HandlerRow handlerRows[] = {
    /* KEY_STARTCDATASECTION */ {installCdataSection, KEY_ENDCDATASECTION},
    /* KEY_ENDCDATASECTION */ {installCdataSection, KEY_STARTCDATASECTION},
    /* KEY_CHARACTERDATA */ {installCharacterData, KEY_CHARACTERDATA},
    /* KEY_COMMENT */ {installComment, KEY_COMMENT},
    /* KEY_DEFAULTHANDLER */ {installDefault, KEY_DEFAULTHANDLER},
    /* KEY_DEFAULTEXPAND */ {installDefaultExpand, KEY_DEFAULTEXPAND},
    /* KEY_STARTELEMENT */ {installElement, KEY_ENDELEMENT},
    /* KEY_ENDELEMENT */ {installElement, KEY_STARTELEMENT},
    /* KEY_EXTERNALENTITYREF */ {installExternalEntityRef, KEY_EXTERNALENTITYREF},
    /* KEY_STARTNAMESPACEDECL */ {installNamespaceDecl, KEY_ENDNAMESPACEDECL},
    /* KEY_ENDNAMESPACEDECL */ {installNamespaceDecl, KEY_STARTNAMESPACEDECL},
    /* KEY_NOTATIONDECL */ {installNotationDecl, KEY_NOTATIONDECL},
    /* KEY_NOTSTANDALONE */ {installNotStandalone, KEY_NOTSTANDALONE},
    /* KEY_PROCESSINGINSTRUCTION */ {installProcessingInstruction, KEY_PROCESSINGINSTRUCTION},
    /* KEY_UNPARSEDENTITYDECL */ {installUnparsedEntityDecl, KEY_UNPARSEDENTITYDECL},
    /* KEY_STARTDOCTYPEDECL */ {installStartDoctypeDecl, KEY_STARTDOCTYPEDECL},
    /* KEY_ENTITYDECL */ {installEntityDecl, KEY_ENTITYDECL},
    /* KEY_ATTLISTDECL */ {installAttlistDecl, KEY_ATTLISTDECL},
    /* KEY_ELEMENTDECL */ {installElementDecl, KEY_ELEMENTDECL},
    /* KEY_ENDDOCTYPEDECL */ {installEndDoctypeDecl, KEY_ENDDOCTYPEDECL},
    /* KEY_SKIPPEDENTITY */ {installSkippedEntity, KEY_SKIPPEDENTITY},
    /* KEY_XMLDECL */ {installXmlDecl, KEY_XMLDECL},
};
static_assert(sizeof(handlerRows) / sizeof(handlerRows[0]) == KEY_COUNT,
              "one registration row per callback key");
