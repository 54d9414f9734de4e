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

#endif
