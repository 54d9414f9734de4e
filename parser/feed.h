/*
 * Handing a script's text to Expat, in pieces, and keeping it back while
 * Expat holds a long token open.
 */
#ifndef VELLORAN_PARSER_FEED_H
#define VELLORAN_PARSER_FEED_H

#include <stddef.h>

#include <expat.h>

struct ParserRecord;

/* Feeds a text of any length (null text: the final chunk) to the record's
   Expat parser and returns Expat's status. Text that Expat would only scan
   again with the open token before it may be kept back for a later call;
   the final chunk hands over everything kept. */
XML_Status feedExpat(ParserRecord *record, const char *text, size_t length);

/* When the first XML_Parse of a parser with namespace processing runs out
   of memory while Expat sets up its namespace bindings, Expat (2.5) leaves
   the parser half set up in its initial state, and a further XML_Parse
   would crash in it. Such a parser keeps its "out of memory" error and is
   never fed again. */
bool expatSetupFailed(XML_Parser parser);

/* Frees the text kept back (when the record closes). */
void dropPendingText(ParserRecord *record);

#endif
