/*
 * Expat's position queries, for C and C++. Expat 2.9 deprecates
 * XML_GetCurrentLineNumber, XML_GetCurrentColumnNumber and
 * XML_GetCurrentByteIndex, XML_GetCurrentByteCount and XML_GetInputContext
 * (whose widths follow how Expat was built) in favour of 64-bit forms; the
 * build defines HAVE_EXPAT_POSITIONS64 when this Expat has those, and they
 * are used then.
 */
#ifndef VELLORAN_PARSER_POSITIONS_H
#define VELLORAN_PARSER_POSITIONS_H

#include <expat.h>
#include <stdint.h>

#ifdef HAVE_EXPAT_POSITIONS64

static inline uint64_t expatLineNumber(XML_Parser parser) {
  return (uint64_t)XML_GetCurrentLineNumber64(parser);
}
static inline uint64_t expatColumnNumber(XML_Parser parser) {
  return (uint64_t)XML_GetCurrentColumnNumber64(parser);
}
/* -1 when there is no position (before parsing, or after an error that
   has none). */
static inline int64_t expatByteIndex(XML_Parser parser) {
  return (int64_t)XML_GetCurrentByteIndex64(parser);
}
/* Bytes of the current event, or 0 outside one. */
static inline int64_t expatByteCount(XML_Parser parser) {
  return (int64_t)XML_GetCurrentByteCount64(parser);
}
/* Expat's input buffer around the current event, or null; *offset is where
   the event starts in it and *size how many bytes it holds. */
static inline const char *expatInputContext(XML_Parser parser, int64_t *offset, uint64_t *size) {
  return XML_GetInputContext64(parser, offset, size);
}

#else

/* An Expat without the 64-bit forms that deprecates these all the same
   still builds. */
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
static inline uint64_t expatLineNumber(XML_Parser parser) {
  return (uint64_t)XML_GetCurrentLineNumber(parser);
}
static inline uint64_t expatColumnNumber(XML_Parser parser) {
  return (uint64_t)XML_GetCurrentColumnNumber(parser);
}
static inline int64_t expatByteIndex(XML_Parser parser) {
  return (int64_t)XML_GetCurrentByteIndex(parser);
}
static inline int64_t expatByteCount(XML_Parser parser) {
  return (int64_t)XML_GetCurrentByteCount(parser);
}
static inline const char *expatInputContext(XML_Parser parser, int64_t *offset, uint64_t *size) {
  int narrowOffset = 0, narrowSize = 0;
  const char *input = XML_GetInputContext(parser, &narrowOffset, &narrowSize);
  *offset = narrowOffset;
  *size = narrowSize < 0 ? 0 : (uint64_t)narrowSize;
  return input;
}
#pragma GCC diagnostic pop

#endif

/* Of the fed bytes handed to Expat so far, those it holds unparsed: the
   token still open at their end (0 when Expat tells no position). */
static inline int64_t expatHeldBytes(XML_Parser parser, int64_t fed) {
  int64_t at = expatByteIndex(parser);
  return at >= 0 && at <= fed ? fed - at : 0;
}

/* How many bytes to hand Expat next, at the most. Expat (2.5) scans a token
   still open at the end of what it was given again from its start with
   every later piece; a piece at least as long as that open token keeps the
   work per byte bounded however long the token grows (the pieces double
   while it stays open). Never less than least, and no more than Expat's
   buffer holds with the open token within an int. */
static inline int32_t expatNextPiece(XML_Parser parser, int64_t fed, int32_t least) {
  int64_t piece = expatHeldBytes(parser, fed);
  if (piece < least)
    piece = least;
  return piece < INT32_MAX / 2 ? (int32_t)piece : INT32_MAX / 2;
}

#endif
