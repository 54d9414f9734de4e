/*
 * The 22 callback keys and, row by row, the Expat handlers that a parser
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

/* One registration step: when a callback table holds either key, install()
   registers the row's handler(s) on the Expat parser. */
struct HandlerRow {
  const char *keys[2]; /* the second is null for rows of one key */
  void (*install)(XML_Parser parser);
};

/* The rows in registration order, ended by a row whose first key is null. */
extern const HandlerRow handlerRows[];

#endif
