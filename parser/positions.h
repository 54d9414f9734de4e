/*
 * Expat's position queries, for C and C++. Expat 2.9 deprecates
 * XML_GetCurrentLineNumber, XML_GetCurrentColumnNumber and
 * XML_GetCurrentByteIndex (whose widths follow how Expat was built) in
 * favour of 64-bit forms; the build defines HAVE_EXPAT_POSITIONS64 when
 * this Expat has those, and they are used then.
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
#pragma GCC diagnostic pop

#endif

/* The current event's bytes: their count, and Expat's input buffer with
   where they begin in it and its size (null when there is none). Both fit
   an int (Expat's buffer is one), so the forms that Expat 2.9 deprecates
   serve on every Expat. */
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
static inline int expatByteCount(XML_Parser parser) {
  return XML_GetCurrentByteCount(parser);
}
static inline const char *expatInputContext(XML_Parser parser, int *offset, int *size) {
  return XML_GetInputContext(parser, offset, size);
}
#pragma GCC diagnostic pop

#endif
