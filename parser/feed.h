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

/* Frees the text kept back (when the record closes). */
void dropPendingText(ParserRecord *record);

#endif
