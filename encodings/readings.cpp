/*
 * Encodings read as the documents labelled with them mean, where the C
 * library's tables say otherwise. Browsers (the WHATWG Encoding Standard)
 * read these labels so, and so did the programs that wrote the documents:
 *
 * - Shift_JIS (SJIS, MS_Kanji, csShiftJIS, ...): glibc reads 0x5C as YEN
 *   SIGN and 0x7E as OVERLINE (JIS X 0201 Roman); documents mean the
 *   backslash and tilde of their file paths, URLs and escapes. The
 *   double-byte table stays glibc's, which reads as browsers do.
 * - TIS-620 and ISO-8859-11: glibc leaves 0x80-0xA0 undefined (or C1
 *   controls); Thai documents use windows-874's punctuation there.
 *
 * A reading applies to a map by its content (so to every alias of the
 * encoding): the bytes it changes must hold what glibc gives them, and a
 * byte of the encoding's own must be there to tell it apart.
 */
#include "encodings/charmap.h"

namespace encodings {

namespace {

const int UNDEFINED = -1;
/* In "from": the byte is undefined, or a C1 control (or NBSP) read as its
   own value. */
const int UNDEFINED_OR_SELF = -2;

struct Change {
  int byte;
  int from; /* what glibc reads, or UNDEFINED_OR_SELF */
  int to;   /* what documents mean, or UNDEFINED */
};

struct Reading {
  int multiByte; /* the map's kind */
  int markByte;  /* a byte that tells the encoding apart, */
  int markCode;  /* and what it reads as */
  const Change *changes; /* ends with a byte of -1 */
};

const Change SHIFT_JIS[] = {{0x5C, 0x00A5, 0x5C}, {0x7E, 0x203E, 0x7E}, {-1, 0, 0}};

/* windows-874 from 0x80 to 0xA0. */
const Change THAI[] = {
    {0x80, UNDEFINED_OR_SELF, 0x20AC}, {0x81, UNDEFINED_OR_SELF, UNDEFINED},
    {0x82, UNDEFINED_OR_SELF, UNDEFINED}, {0x83, UNDEFINED_OR_SELF, UNDEFINED},
    {0x84, UNDEFINED_OR_SELF, UNDEFINED}, {0x85, UNDEFINED_OR_SELF, 0x2026},
    {0x86, UNDEFINED_OR_SELF, UNDEFINED}, {0x87, UNDEFINED_OR_SELF, UNDEFINED},
    {0x88, UNDEFINED_OR_SELF, UNDEFINED}, {0x89, UNDEFINED_OR_SELF, UNDEFINED},
    {0x8A, UNDEFINED_OR_SELF, UNDEFINED}, {0x8B, UNDEFINED_OR_SELF, UNDEFINED},
    {0x8C, UNDEFINED_OR_SELF, UNDEFINED}, {0x8D, UNDEFINED_OR_SELF, UNDEFINED},
    {0x8E, UNDEFINED_OR_SELF, UNDEFINED}, {0x8F, UNDEFINED_OR_SELF, UNDEFINED},
    {0x90, UNDEFINED_OR_SELF, UNDEFINED}, {0x91, UNDEFINED_OR_SELF, 0x2018},
    {0x92, UNDEFINED_OR_SELF, 0x2019}, {0x93, UNDEFINED_OR_SELF, 0x201C},
    {0x94, UNDEFINED_OR_SELF, 0x201D}, {0x95, UNDEFINED_OR_SELF, 0x2022},
    {0x96, UNDEFINED_OR_SELF, 0x2013}, {0x97, UNDEFINED_OR_SELF, 0x2014},
    {0x98, UNDEFINED_OR_SELF, UNDEFINED}, {0x99, UNDEFINED_OR_SELF, UNDEFINED},
    {0x9A, UNDEFINED_OR_SELF, UNDEFINED}, {0x9B, UNDEFINED_OR_SELF, UNDEFINED},
    {0x9C, UNDEFINED_OR_SELF, UNDEFINED}, {0x9D, UNDEFINED_OR_SELF, UNDEFINED},
    {0x9E, UNDEFINED_OR_SELF, UNDEFINED}, {0x9F, UNDEFINED_OR_SELF, UNDEFINED},
    {0xA0, UNDEFINED_OR_SELF, 0x00A0}, {-1, 0, 0}};

const Reading READINGS[] = {
    {1, 0x82, -2, SHIFT_JIS}, /* 0x82 leads a double-byte sequence (hiragana) */
    {0, 0xA1, 0x0E01, THAI},  /* THAI CHARACTER KO KAI */
    {0, 0, 0, nullptr}};

bool holds(const CharMap *m, const Change &c) {
  int code = m->map[c.byte];
  return c.from == UNDEFINED_OR_SELF ? code == UNDEFINED || code == c.byte : code == c.from;
}

bool applies(const CharMap *m, const Reading &r) {
  if (m->multiByte != r.multiByte || m->map[r.markByte] != r.markCode)
    return false;
  for (const Change *c = r.changes; c->byte >= 0; c++)
    if (!holds(m, *c))
      return false;
  return true;
}

} // namespace

void applyReadings(CharMap *charMap) {
  for (const Reading *r = READINGS; r->changes; r++) {
    if (!applies(charMap, *r))
      continue;
    for (const Change *c = r->changes; c->byte >= 0; c++)
      charMap->map[c->byte] = c->to;
  }
}

} // namespace encodings
