/*
 * The C library services: the allocator that Expat uses (with fault
 * injection), a case-insensitive compare and the host's number format.
 */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "velloran/services.h"
#include "velloran/slots.h"

namespace velloran {

namespace {

long mallocCountdown;

bool failThisCall() {
  return mallocCountdown > 0 && --mallocCountdown == 0;
}

int lowerAscii(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

} // namespace

void failMallocAfter(long n) {
  mallocCountdown = n > 0 ? n : 0;
}

void *hostMalloc(size_t size) {
  return failThisCall() ? nullptr : malloc(size);
}

void *hostRealloc(void *block, size_t size) {
  return failThisCall() ? nullptr : realloc(block, size);
}

void hostFree(void *block) {
  free(block);
}

int stricmp(const char *a, const char *b) {
  const unsigned char *p = reinterpret_cast<const unsigned char *>(a);
  const unsigned char *q = reinterpret_cast<const unsigned char *>(b);
  for (; *p && lowerAscii(*p) == lowerAscii(*q); p++, q++) {
  }
  return lowerAscii(*p) - lowerAscii(*q);
}

/* Lua 5.1's number format (LUA_NUMBER_FMT, "%.14g") when it reads back as
   the same number; otherwise the fewest further digits that do, so that a
   number saved as text is never changed (0.1 + 0.2 needs 17 digits). */
void numberToString(char buffer[NUMBER_TEXT_SIZE], double value) {
  /* A whole number of at most 14 digits (not -0) is its digits in "%.14g";
     written directly, without the format and the check. */
  if (value >= -99999999999999.0 && value <= 99999999999999.0 &&
      value == static_cast<double>(static_cast<long long>(value)) &&
      !(value == 0 && signbit(value))) {
    long long n = static_cast<long long>(value);
    unsigned long long v =
        n < 0 ? 0ull - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
    char digits[24];
    char *p = digits + sizeof digits;
    *--p = 0;
    do
      *--p = static_cast<char>('0' + v % 10);
    while ((v /= 10) != 0);
    if (n < 0)
      *--p = '-';
    memcpy(buffer, p, static_cast<size_t>(digits + sizeof digits - p));
    return;
  }
  for (int digits = 14; digits < 17; digits++) {
    snprintf(buffer, NUMBER_TEXT_SIZE, "%.*g", digits, value);
    if (strtod(buffer, nullptr) == value)
      return;
  }
  snprintf(buffer, NUMBER_TEXT_SIZE, "%.17g", value);
}

} // namespace velloran
