/*
 * The 22 callback keys and, key by key, the Expat handlers that a parser
 * object registers for them.
 */
#ifndef VELLORAN_EVENTS_HANDLERS_H
#define VELLORAN_EVENTS_HANDLERS_H

#include <expat.h>

/* The callback keys in their fixed order, ended by a null entry. */
extern const char *const callbackKeys[];

/* Positions of the keys in callbackKeys. */
enum CallbackKey {
  KEY_STARTCDATASECTION,
  KEY_ENDCDATASECTION,
  KEY_CHARACTERDATA,
  KEY_COMMENT,
  KEY_DEFAULTHANDLER,
  KEY_DEFAULTEXPAND,
  KEY_STARTELEMENT,
  KEY_ENDELEMENT,
  KEY_EXTERNALENTITYREF,
  KEY_STARTNAMESPACEDECL,
  KEY_ENDNAMESPACEDECL,
  KEY_NOTATIONDECL,
  KEY_NOTSTANDALONE,
  KEY_PROCESSINGINSTRUCTION,
  KEY_UNPARSEDENTITYDECL,
  KEY_STARTDOCTYPEDECL,
  KEY_ENTITYDECL,
  KEY_ATTLISTDECL,
  KEY_ELEMENTDECL,
  KEY_ENDDOCTYPEDECL,
  KEY_SKIPPEDENTITY,
  KEY_XMLDECL,
  KEY_COUNT
};

/* The registration of one key: install() sets the key's Expat handler. The
   keys of a pair (start and end of elements, of CDATA sections, of
   namespace declarations) share one Expat setter that registers both
   handlers; partner is then the other key of the pair, else the key
   itself. */
struct HandlerRow {
  void (*install)(XML_Parser parser);
  CallbackKey partner;
};

/* One row per key, indexed by CallbackKey; rows are installed in key order
   (so "defaultexpand" wins over "defaulthandler": both set Expat's one
   default handler). */
extern const HandlerRow handlerRows[];

#endif
