/*
 * The callback keys: one row each, in their fixed order. The enum
 * CallbackKey, the names in callbackKeys and the registration of the
 * Expat handlers (events/keys.cpp) are all made from this list:
 *
 *   X(ID, "name", Expat setter, (its handlers), partner ID)
 *
 * The keys of a pair (start and end of elements, of CDATA sections, of
 * namespace declarations) share one Expat setter that registers both
 * handlers; partner is then the other key of the pair, else the key
 * itself. Handlers are installed in key order (so "defaultexpand" wins
 * over "defaulthandler": both set Expat's one default handler).
 *
 * This is what parser/ knows of events/: the keys, and registerKeyHandler.
 */
#ifndef VELLORAN_EVENTS_KEYS_H
#define VELLORAN_EVENTS_KEYS_H

#include <stdint.h>

#include <expat.h>

// clang-format off
#define CALLBACK_KEYS(X)                                                                          \
  X(STARTCDATASECTION, "startcdatasection", XML_SetCdataSectionHandler,                           \
    (onStartCdataSection, onEndCdataSection), ENDCDATASECTION)                                    \
  X(ENDCDATASECTION, "endcdatasection", XML_SetCdataSectionHandler,                               \
    (onStartCdataSection, onEndCdataSection), STARTCDATASECTION)                                  \
  X(CHARACTERDATA, "characterdata", XML_SetCharacterDataHandler, (onCharacterData), CHARACTERDATA) \
  X(COMMENT, "comment", XML_SetCommentHandler, (onComment), COMMENT)                              \
  X(DEFAULTHANDLER, "defaulthandler", XML_SetDefaultHandler, (onDefault), DEFAULTHANDLER)         \
  X(DEFAULTEXPAND, "defaultexpand", XML_SetDefaultHandlerExpand, (onDefaultExpand), DEFAULTEXPAND) \
  X(STARTELEMENT, "startelement", XML_SetElementHandler, (onStartElement, onEndElement),          \
    ENDELEMENT)                                                                                   \
  X(ENDELEMENT, "endelement", XML_SetElementHandler, (onStartElement, onEndElement), STARTELEMENT) \
  X(EXTERNALENTITYREF, "externalentityref", XML_SetExternalEntityRefHandler,                      \
    (onExternalEntityRef), EXTERNALENTITYREF)                                                     \
  X(STARTNAMESPACEDECL, "startnamespacedecl", XML_SetNamespaceDeclHandler,                        \
    (onStartNamespaceDecl, onEndNamespaceDecl), ENDNAMESPACEDECL)                                 \
  X(ENDNAMESPACEDECL, "endnamespacedecl", XML_SetNamespaceDeclHandler,                            \
    (onStartNamespaceDecl, onEndNamespaceDecl), STARTNAMESPACEDECL)                               \
  X(NOTATIONDECL, "notationdecl", XML_SetNotationDeclHandler, (onNotationDecl), NOTATIONDECL)     \
  X(NOTSTANDALONE, "notstandalone", XML_SetNotStandaloneHandler, (onNotStandalone), NOTSTANDALONE) \
  X(PROCESSINGINSTRUCTION, "processinginstruction", XML_SetProcessingInstructionHandler,          \
    (onProcessingInstruction), PROCESSINGINSTRUCTION)                                             \
  X(UNPARSEDENTITYDECL, "unparsedentitydecl", XML_SetUnparsedEntityDeclHandler,                   \
    (onUnparsedEntityDecl), UNPARSEDENTITYDECL)                                                   \
  X(STARTDOCTYPEDECL, "startdoctypedecl", XML_SetStartDoctypeDeclHandler, (onStartDoctypeDecl),   \
    STARTDOCTYPEDECL)                                                                             \
  X(ENTITYDECL, "entitydecl", XML_SetEntityDeclHandler, (onEntityDecl), ENTITYDECL)               \
  X(ATTLISTDECL, "attlistdecl", XML_SetAttlistDeclHandler, (onAttlistDecl), ATTLISTDECL)          \
  X(ELEMENTDECL, "elementdecl", XML_SetElementDeclHandler, (onElementDecl), ELEMENTDECL)          \
  X(ENDDOCTYPEDECL, "enddoctypedecl", XML_SetEndDoctypeDeclHandler, (onEndDoctypeDecl),           \
    ENDDOCTYPEDECL)                                                                               \
  X(SKIPPEDENTITY, "skippedentity", XML_SetSkippedEntityHandler, (onSkippedEntity), SKIPPEDENTITY) \
  X(XMLDECL, "xmldecl", XML_SetXmlDeclHandler, (onXmlDecl), XMLDECL)
// clang-format on

#define CALLBACK_KEY_ENUM(id, name, setter, handlers, partner) KEY_##id,
enum CallbackKey { CALLBACK_KEYS(CALLBACK_KEY_ENUM) KEY_COUNT };
#undef CALLBACK_KEY_ENUM

static_assert(KEY_COUNT <= 32, "a key set is a 32-bit mask");

/* The key names in key order, ended by a null entry. */
extern const char *const callbackKeys[];

/* Installs the Expat handler(s) of key on parser; returns the keys whose
   handlers are registered by it (key and its partner). */
uint32_t registerKeyHandler(XML_Parser parser, int key);

#endif
