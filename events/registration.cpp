// The registration rows: which Expat handlers a parser object installs for
// the keys its callback table holds, in the order they are installed.
#include "events/handlers.h"

#include "events/callbacks.h"
#include "parser/dispatch.h"

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
    {{"startcdatasection", "endcdatasection"}, installCdataSection},
    {{"characterdata", nullptr}, installCharacterData},
    {{"comment", nullptr}, installComment},
    {{"defaulthandler", nullptr}, installDefault},
    {{"defaultexpand", nullptr}, installDefaultExpand},
    {{"startelement", "endelement"}, installElement},
    {{"externalentityref", nullptr}, installExternalEntityRef},
    {{"startnamespacedecl", "endnamespacedecl"}, installNamespaceDecl},
    {{"notationdecl", nullptr}, installNotationDecl},
    {{"notstandalone", nullptr}, installNotStandalone},
    {{"processinginstruction", nullptr}, installProcessingInstruction},
    {{"unparsedentitydecl", nullptr}, installUnparsedEntityDecl},
    {{"startdoctypedecl", nullptr}, installStartDoctypeDecl},
    {{"entitydecl", nullptr}, installEntityDecl},
    {{"attlistdecl", nullptr}, installAttlistDecl},
    {{"elementdecl", nullptr}, installElementDecl},
    {{"enddoctypedecl", nullptr}, installEndDoctypeDecl},
    {{"skippedentity", nullptr}, installSkippedEntity},
    {{"xmldecl", nullptr}, installXmlDecl},
    {{nullptr, nullptr}, nullptr},
};
