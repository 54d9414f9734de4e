/*
 * The shared maps: one per encoding, whatever name it is asked by, built
 * on first use.
 */
#ifndef VELLORAN_ENCODINGS_CACHE_H
#define VELLORAN_ENCODINGS_CACHE_H

#include "encodings/charmap.h"

namespace encodings {

/* The map for the encoding named, with one more user; null when the name
   is refused or building ran out of memory (*result tells which). Names
   are matched as iconv matches them: without regard to letter case or
   "+"; names of the same encoding (aliases) share one map. */
CharMap *acquireMap(const char *name, BuildResult *result);

/* Gives up one use of a map; the last frees it. */
void releaseMap(CharMap *charMap);

} // namespace encodings

#endif
