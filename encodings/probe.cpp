/*
 * Building an encoding's map by asking iconv about every byte sequence.
 *
 * Each probe converts one candidate sequence on its own (the converter
 * reset first, its buffered output flushed after) and sorts the outcome:
 * one character, a sequence that needs more bytes, or an invalid one. A
 * sequence that converts to no character at all is a shift of state:
 * Expat's model has no room for such encodings, so they are refused. Bytes
 * that need more bytes are explored byte by byte, each level's outcomes
 * sorted before going deeper; every sequence under one first byte must
 * have the same length, else the encoding is refused as well. A first byte
 * with sequences longer than Expat takes (4 bytes) is invalid.
 */
#include <errno.h>
#include <iconv.h>
#include <string.h>

#include "encodings/charmap.h"
#include "host/services.h"

namespace encodings {

namespace {

/* What iconv converts to: one code point in 4 bytes, least significant
   first, no byte-order mark; read back byte by byte (codePointAt), so that
   the maps come out the same on either byte order. */
const char *const CODE_POINTS = "UTF-32LE";
const size_t CODE_POINT_SIZE = 4;
const int MAX_SEQUENCE = 4;
const size_t MAX_PAGES = 65536; /* page numbers are 16 bits */
/* Iconv calls one map may take (about 30 ms per million here): several
   times what the encodings that fit need (EUC-TW, the largest, about
   400,000), so that a name that would take longer is refused rather than
   stalling the parse. */
const long PROBE_BUDGET = 2000000;
/* Sequences and what UTF-8 reads them as. A converter that reads them all
   so is UTF-8 under another name than Expat's own: it is refused at once
   (exploring it would take over 8 million probes, every 4-byte sequence,
   none of which Expat takes from a converter). */
const struct {
  const char *bytes;
  uint32_t codePoint;
} UTF8_SAMPLES[] = {{"\xC3\xA9", 0xE9}, {"\xE2\x82\xAC", 0x20AC}, {"\xF0\x9F\x98\x80", 0x1F600}, {nullptr, 0}};
/* Bytes that Expat needs to stand for themselves; an encoding without them
   is refused before its sequences are explored. */
const char ASCII_NEEDED[] = "\t\n\r <>&=\"'/?!-:ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                            "abcdefghijklmnopqrstuvwxyz0123456789";

enum ProbeKind { PROBE_CHAR, PROBE_INCOMPLETE, PROBE_INVALID, PROBE_STATEFUL };

struct Probe {
  ProbeKind kind;
  uint32_t codePoint;
};

struct Builder {
  iconv_t converter;
  CharMap *charMap;
  long probesLeft;
  BuildResult failure; /* why exploring stopped */
};

uint32_t codePointAt(const unsigned char *bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

Probe probe(iconv_t converter, const unsigned char *bytes, size_t length) {
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  char *in = const_cast<char *>(reinterpret_cast<const char *>(bytes));
  size_t inLeft = length;
  unsigned char out[4 * CODE_POINT_SIZE];
  char *outAt = reinterpret_cast<char *>(out);
  size_t outLeft = sizeof out;
  if (iconv(converter, &in, &inLeft, &outAt, &outLeft) == static_cast<size_t>(-1)) {
    if (errno != EINVAL)
      return {PROBE_INVALID, 0}; /* EILSEQ, or more than four characters */
    if (inLeft == length && outLeft == sizeof out)
      return {PROBE_INCOMPLETE, 0};
    return {PROBE_STATEFUL, 0}; /* part taken, the rest waiting for more */
  }
  /* Converters that combine characters hold the last one back. */
  if (iconv(converter, nullptr, nullptr, &outAt, &outLeft) == static_cast<size_t>(-1))
    return {PROBE_INVALID, 0};
  size_t count = (sizeof out - outLeft) / CODE_POINT_SIZE;
  if (count == 0)
    return {PROBE_STATEFUL, 0};
  if (count > 1)
    return {PROBE_INVALID, 0}; /* one sequence, several characters */
  return {PROBE_CHAR, codePointAt(out)};
}

bool readsAsUtf8(iconv_t converter) {
  for (int i = 0; UTF8_SAMPLES[i].bytes; i++) {
    const char *bytes = UTF8_SAMPLES[i].bytes;
    Probe p = probe(converter, reinterpret_cast<const unsigned char *>(bytes), strlen(bytes));
    if (p.kind != PROBE_CHAR || p.codePoint != UTF8_SAMPLES[i].codePoint)
      return false;
  }
  return true;
}

bool fail(Builder *b, BuildResult why) {
  b->failure = why;
  return false;
}

/* A new all-zero page; its number in *number. */
bool newPage(Builder *b, size_t *number) {
  CharMap *m = b->charMap;
  if (m->pageCount == MAX_PAGES)
    return fail(b, BUILD_REFUSED);
  if (m->pageCount == m->pageCapacity) {
    size_t capacity = m->pageCapacity ? m->pageCapacity * 2 : 16;
    auto *pages = static_cast<Page *>(host::AllocMem(capacity * sizeof(Page), 0, MAP_MEMORY_TAG));
    if (!pages)
      return fail(b, BUILD_OUT_OF_MEMORY);
    if (m->pages) {
      memcpy(pages, m->pages, m->pageCount * sizeof(Page));
      host::FreeMem(m->pages);
    }
    m->pages = pages;
    m->pageCapacity = capacity;
  }
  memset(m->pages[m->pageCount], 0, sizeof(Page));
  *number = m->pageCount++;
  return true;
}

bool isEmptyPage(const Page page) {
  for (int i = 0; i < 256; i++)
    if (page[i])
      return false;
  return true;
}

/* Fills page with what follows the depth bytes of seq. *length becomes the
   length of every sequence found under seq (0 when none is valid). The
   recursion is at most MAX_SEQUENCE deep. */
bool explore(Builder *b, unsigned char *seq, int depth, size_t page, int *length) {
  Probe next[256];
  bool anyChar = false, anyIncomplete = false;
  for (int t = 0; t < 256; t++) {
    if (--b->probesLeft < 0)
      return fail(b, BUILD_REFUSED);
    seq[depth] = static_cast<unsigned char>(t);
    next[t] = probe(b->converter, seq, depth + 1);
    if (next[t].kind == PROBE_STATEFUL)
      return fail(b, BUILD_REFUSED);
    anyChar |= next[t].kind == PROBE_CHAR;
    anyIncomplete |= next[t].kind == PROBE_INCOMPLETE;
  }
  *length = 0;
  if (anyChar && anyIncomplete)
    return fail(b, BUILD_REFUSED); /* the length is not known from the first byte */
  if (anyChar) {
    /* Expat takes code points up to U+FFFF from a converter. */
    for (int t = 0; t < 256; t++)
      if (next[t].kind == PROBE_CHAR && next[t].codePoint <= 0xFFFF)
        b->charMap->pages[page][t] = static_cast<uint16_t>(next[t].codePoint);
    *length = depth + 1;
    return true;
  }
  if (anyIncomplete && depth + 1 == MAX_SEQUENCE) {
    *length = MAX_SEQUENCE + 1; /* longer than Expat takes */
    return true;
  }
  for (int t = 0; t < 256; t++) {
    if (next[t].kind != PROBE_INCOMPLETE)
      continue;
    size_t child;
    int childLength;
    if (!newPage(b, &child))
      return false;
    seq[depth] = static_cast<unsigned char>(t);
    if (!explore(b, seq, depth + 1, child, &childLength))
      return false;
    if (childLength > MAX_SEQUENCE) {
      /* The first byte is invalid as a whole: no need to look further. */
      *length = childLength;
      return true;
    }
    if (childLength && *length && childLength != *length)
      return fail(b, BUILD_REFUSED);
    if (childLength)
      *length = childLength;
    if (isEmptyPage(b->charMap->pages[child])) {
      /* Nothing valid below: page 0 serves (the page is the last one,
         since its own children were given back the same way). */
      b->charMap->pageCount--;
      continue;
    }
    b->charMap->pages[page][t] = static_cast<uint16_t>(child);
  }
  return true;
}

bool buildMultiByte(Builder *b, int lead) {
  CharMap *m = b->charMap;
  unsigned char seq[MAX_SEQUENCE];
  size_t page;
  int length;
  seq[0] = static_cast<unsigned char>(lead);
  if (!newPage(b, &page) || !explore(b, seq, 1, page, &length))
    return false;
  if (length > MAX_SEQUENCE || isEmptyPage(m->pages[page])) {
    /* No sequence Expat could take: the byte is invalid. */
    m->pageCount = page;
    m->map[lead] = -1;
    return true;
  }
  m->map[lead] = -length;
  m->leadPage[lead] = static_cast<uint16_t>(page);
  m->multiByte = 1;
  return true;
}

bool buildMap(Builder *b) {
  CharMap *m = b->charMap;
  bool incomplete[256];
  for (int c = 0; c < 256; c++) {
    unsigned char byte = static_cast<unsigned char>(c);
    Probe p = probe(b->converter, &byte, 1);
    if (p.kind == PROBE_STATEFUL)
      return fail(b, BUILD_REFUSED);
    incomplete[c] = p.kind == PROBE_INCOMPLETE;
    m->map[c] = p.kind == PROBE_CHAR && p.codePoint <= 0xFFFF ? static_cast<int>(p.codePoint) : -1;
  }
  for (const char *c = ASCII_NEEDED; *c; c++)
    if (m->map[static_cast<unsigned char>(*c)] != *c)
      return fail(b, BUILD_REFUSED);
  if (readsAsUtf8(b->converter))
    return fail(b, BUILD_REFUSED);
  size_t zeroPage;
  if (!newPage(b, &zeroPage))
    return false;
  for (int c = 0; c < 256; c++)
    if (incomplete[c] && !buildMultiByte(b, c))
      return false;
  return true;
}

} // namespace

BuildResult buildCharMap(CharMap *charMap, const char *name) {
  iconv_t converter = iconv_open(CODE_POINTS, name);
  if (converter == reinterpret_cast<iconv_t>(-1))
    return errno == ENOMEM ? BUILD_OUT_OF_MEMORY : BUILD_UNKNOWN;
  Builder b = {converter, charMap, PROBE_BUDGET, BUILD_OK};
  bool built = buildMap(&b);
  iconv_close(converter);
  if (built) {
    applyReadings(charMap);
    return BUILD_OK;
  }
  freePages(charMap);
  return b.failure;
}

void freePages(CharMap *charMap) {
  if (charMap->pages)
    host::FreeMem(charMap->pages);
  charMap->pages = nullptr;
  charMap->pageCount = charMap->pageCapacity = 0;
}

int convertSequence(void *charMap, const char *s) {
  const CharMap *m = static_cast<const CharMap *>(charMap);
  const unsigned char *bytes = reinterpret_cast<const unsigned char *>(s);
  int length = -m->map[bytes[0]];
  unsigned page = m->leadPage[bytes[0]];
  for (int i = 1; i < length - 1; i++)
    page = m->pages[page][bytes[i]];
  unsigned c = m->pages[page][bytes[length - 1]];
  return c ? static_cast<int>(c) : -1;
}

} // namespace encodings
