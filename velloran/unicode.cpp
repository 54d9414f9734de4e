/*
 * UTF-8 services and the host's character mapping. Decoding is strict:
 * overlong forms, surrogates and values above U+10FFFF are invalid.
 */
#include "velloran/slots.h"

namespace velloran {

namespace {

const uint32_t REPLACEMENT_CHARACTER = 0xFFFD;

/* Lower-case mapping by ranges: every code point from `first` to `last`
   (stepping by `step` from `first`) maps to itself plus `delta`. */
struct CaseRange {
  uint32_t first, last;
  int step;
  int32_t delta;
};

const CaseRange lowerCaseRanges[] = {
    {0x0041, 0x005A, 1, 32},   /* Basic Latin */
    {0x00C0, 0x00D6, 1, 32},   /* Latin-1 */
    {0x00D8, 0x00DE, 1, 32},   /* */
    {0x0100, 0x012E, 2, 1},    /* Latin Extended-A */
    {0x0130, 0x0130, 1, -199}, /* capital I with dot above -> i */
    {0x0132, 0x0136, 2, 1},    /* */
    {0x0139, 0x0147, 2, 1},    /* */
    {0x014A, 0x0176, 2, 1},    /* */
    {0x0178, 0x0178, 1, -121}, /* Y with diaeresis */
    {0x0179, 0x017D, 2, 1},    /* */
    {0x0386, 0x0386, 1, 38},   /* Greek */
    {0x0388, 0x038A, 1, 37},   /* */
    {0x038C, 0x038C, 1, 64},   /* */
    {0x038E, 0x038F, 1, 63},   /* */
    {0x0391, 0x03A1, 1, 32},   /* */
    {0x03A3, 0x03AB, 1, 32},   /* */
    {0x0400, 0x040F, 1, 80},   /* Cyrillic */
    {0x0410, 0x042F, 1, 32},   /* */
    {0x0460, 0x0480, 2, 1},    /* */
    {0x048A, 0x04BE, 2, 1},    /* */
    {0x04C1, 0x04CD, 2, 1},    /* */
    {0x04D0, 0x052E, 2, 1},    /* */
    {0x0531, 0x0556, 1, 48},   /* Armenian */
    {0x10A0, 0x10C5, 1, 7264}, /* Georgian */
    {0x1E00, 0x1E94, 2, 1},    /* Latin Extended Additional */
    {0x1EA0, 0x1EFE, 2, 1},    /* */
    {0x2160, 0x216F, 1, 16},   /* Roman numerals */
    {0x24B6, 0x24CF, 1, 26},   /* circled letters */
    {0xFF21, 0xFF3A, 1, 32},   /* fullwidth Latin */
    {0x10400, 0x10427, 1, 40}, /* Deseret */
    {0, 0, 0, 0},
};

bool isContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

} // namespace

int decodeUTF8(const unsigned char *text, size_t available, uint32_t *codePoint) {
  if (available == 0)
    return 0;
  unsigned char c = text[0];
  if (c < 0x80) {
    *codePoint = c;
    return 1;
  }
  int length;
  uint32_t value, minimum;
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2, value = c & 0x1F, minimum = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3, value = c & 0x0F, minimum = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4, value = c & 0x07, minimum = 0x10000;
  } else {
    return 0; /* a continuation byte, an overlong lead (C0, C1) or F5..FF */
  }
  if (available < static_cast<size_t>(length))
    return 0;
  /* Continuation bytes are checked one by one, so a terminating zero stops
     the scan before anything past it is read. */
  for (int i = 1; i < length; i++) {
    if (!isContinuation(text[i]))
      return 0;
    value = value << 6 | (text[i] & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
    return 0;
  *codePoint = value;
  return length;
}

uint32_t mapChar(uint32_t codePoint) {
  if (codePoint < 0x80) /* the common case, without the table walk */
    return codePoint >= 'A' && codePoint <= 'Z' ? codePoint + 32 : codePoint;
  for (const CaseRange *r = lowerCaseRanges; r->step; r++)
    if (codePoint >= r->first && codePoint <= r->last && (codePoint - r->first) % r->step == 0)
      return codePoint + r->delta;
  return codePoint;
}

int isValidUTF8(const char *text) {
  if (!text)
    return 0;
  const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
  while (*p) {
    uint32_t c;
    int length = decodeUTF8(p, 4, &c);
    if (length == 0)
      return 0;
    p += length;
  }
  return 1;
}

uint32_t decodeUTF8Char(const char *text, int32_t *bytePosition) {
  const unsigned char *p = reinterpret_cast<const unsigned char *>(text) + *bytePosition;
  uint32_t c;
  int length = decodeUTF8(p, 4, &c);
  if (length == 0) {
    *bytePosition += 1;
    return REPLACEMENT_CHARACTER;
  }
  *bytePosition += length;
  return c;
}

int32_t encodeUTF8Char(char *buffer, uint32_t codePoint) {
  if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
    codePoint = REPLACEMENT_CHARACTER; /* not a character: write U+FFFD instead */
  unsigned char *out = reinterpret_cast<unsigned char *>(buffer);
  int32_t n;
  if (codePoint < 0x80) {
    out[0] = static_cast<unsigned char>(codePoint);
    n = 1;
  } else if (codePoint < 0x800) {
    out[0] = static_cast<unsigned char>(0xC0 | codePoint >> 6);
    out[1] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
    n = 2;
  } else if (codePoint < 0x10000) {
    out[0] = static_cast<unsigned char>(0xE0 | codePoint >> 12);
    out[1] = static_cast<unsigned char>(0x80 | (codePoint >> 6 & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
    n = 3;
  } else {
    out[0] = static_cast<unsigned char>(0xF0 | codePoint >> 18);
    out[1] = static_cast<unsigned char>(0x80 | (codePoint >> 12 & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (codePoint >> 6 & 0x3F));
    out[3] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
    n = 4;
  }
  out[n] = 0;
  return n;
}

} // namespace velloran
