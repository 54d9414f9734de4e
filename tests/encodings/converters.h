// Encodings whose converter the target's iconv lacks.
#ifndef VELLORAN_TESTS_ENCODINGS_CONVERTERS_H
#define VELLORAN_TESTS_ENCODINGS_CONVERTERS_H

#include <iconv.h>
#include <stdio.h>

// True, after a SKIP line naming it, when iconv has no converter from
// `encoding` and the build says that its C library may lack some (a cross
// target without iconv's modules); everywhere else such a test fails.
inline bool skipWithoutConverter(const char *encoding) {
  iconv_t cd = iconv_open("UTF-8", encoding);
  if (cd != reinterpret_cast<iconv_t>(-1)) {
    iconv_close(cd);
    return false;
  }
  if (ICONV_MODULES)
    return false;
  printf("SKIP: the C library has no iconv converter from %s\n", encoding);
  return true;
}

#endif
