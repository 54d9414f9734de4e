/*
 * An encoding's map as Expat takes it, built through iconv, and the tables
 * behind its multi-byte sequences.
 */
#ifndef VELLORAN_ENCODINGS_CHARMAP_H
#define VELLORAN_ENCODINGS_CHARMAP_H

#include <stddef.h>
#include <stdint.h>

namespace encodings {

/* 256 code points, one per last byte of a sequence, or 256 page numbers,
   one per inner byte (sequences of 3 and 4 bytes). 0 is "invalid": no
   sequence of a multi-byte encoding stands for U+0000, and page 0 is all
   zeros, so an invalid inner byte leads to invalid last bytes. */
typedef uint16_t Page[256];

/* The AllocMem tag of all that the maps hold: maps, pages and the names
   that iconv knows. */
const char *const MAP_MEMORY_TAG = "encodingmap";

enum BuildResult {
  BUILD_OK,      /* the map is filled */
  BUILD_UNKNOWN, /* iconv does not know the name */
  BUILD_REFUSED, /* iconv knows it, but Expat's model cannot take it */
  BUILD_OUT_OF_MEMORY
};

struct CharMap {
  struct CharMap *next; /* in the list of shared maps, most recently used first */
  int32_t users;        /* the list (while listed) and each parser using it */
  int32_t multiByte;    /* 1: some first byte starts a longer sequence */
  uint64_t hash;        /* of the content below, which tells maps apart */
  /* Expat's map: code point, -1 for a byte the encoding does not define,
     -2..-4 for the first byte of a sequence of that many bytes. */
  int map[256];
  uint16_t leadPage[256]; /* first byte of a sequence -> its page */
  Page *pages;            /* pages[0] is all zeros */
  size_t pageCount;
  size_t pageCapacity;
};

/* Fills map, leadPage and pages of a zero-filled record for the encoding
   named (as iconv knows it), read as documents in the wild mean it (see
   applyReadings). Pages come from the host's allocator; on any result
   other than BUILD_OK they are freed again. */
BuildResult buildCharMap(CharMap *charMap, const char *name);

/* Where the C library's table of an encoding differs from what the
   documents labelled with it mean (and browsers read), changes the map to
   the latter. */
void applyReadings(CharMap *charMap);

/* Frees the pages of a map. */
void freePages(CharMap *charMap);

/* The code point of the multi-byte sequence at s (its first byte has a
   negative length in map), or -1 when the encoding does not define it. */
int convertSequence(void *charMap, const char *s);

} // namespace encodings

#endif
