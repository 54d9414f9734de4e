/*
 * The C library services: the allocator that Expat uses (with fault
 * injection), a case-insensitive compare and the host's number format.
 */
#include <stdio.h>
#include <stdlib.h>

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

/* Lua 5.1's number format (LUA_NUMBER_FMT). */
void numberToString(char buffer[NUMBER_TEXT_SIZE], double value) {
  snprintf(buffer, NUMBER_TEXT_SIZE, "%.14g", value);
}

} // namespace velloran
