/*
 * Text encodings: the host knows UTF-8 (1) and ISO-8859-1 (0). ConvertString
 * converts between them, QueryHostInfo reports the host's current encoding.
 */
#include <stdlib.h>
#include <string.h>

#include "velloran/encodings.h"
#include "velloran/services.h"
#include "velloran/slots.h"

namespace velloran {

const char *const hostEncodingNames[] = {"iso-8859-1", "utf-8", nullptr};

namespace {

static_assert(ENCODING_ISO_8859_1 == 0 && ENCODING_UTF8 == 1, "the names are indexed by the ids");

int currentEncoding = ENCODING_UTF8;
int32_t parsePiece = 0;

bool knownEncoding(int id) {
  return id == ENCODING_UTF8 || id == ENCODING_ISO_8859_1;
}

/* The data of the first item with this tag, or false when there is none. */
bool findTag(const TagItem *tags, uint32_t tag, uintptr_t *data) {
  for (; tags && tags->tag != TAG_DONE; tags++)
    if (tags->tag == tag) {
      *data = tags->data;
      return true;
    }
  return false;
}

char *utf8ToLatin1(const unsigned char *text, size_t length) {
  char *out = static_cast<char *>(malloc(length + 1)); /* never longer than the source */
  if (!out)
    return nullptr;
  size_t n = 0;
  for (size_t i = 0; i < length;) {
    uint32_t c;
    int size = decodeUTF8(text + i, length - i, &c);
    if (size == 0) {
      free(out);
      return nullptr;
    }
    out[n++] = c <= 0xFF ? static_cast<char>(c) : '?';
    i += size;
  }
  out[n] = 0;
  return out;
}

char *latin1ToUtf8(const unsigned char *text, size_t length) {
  if (length > (SIZE_MAX - 1) / 2)
    return nullptr;
  char *out = static_cast<char *>(malloc(2 * length + 1));
  if (!out)
    return nullptr;
  size_t n = 0;
  for (size_t i = 0; i < length; i++)
    n += encodeUTF8Char(out + n, text[i]);
  out[n] = 0;
  return out;
}

/* Any byte string is ISO-8859-1 text: a plain copy. */
char *copyLatin1(const unsigned char *text, size_t length) {
  char *out = static_cast<char *>(malloc(length + 1));
  if (!out)
    return nullptr;
  memcpy(out, text, length);
  out[length] = 0;
  return out;
}

/* A copy of UTF-8 text, which must be valid. */
char *copyUtf8(const unsigned char *text, size_t length) {
  for (size_t i = 0; i < length;) {
    uint32_t c;
    int size = decodeUTF8(text + i, length - i, &c);
    if (size == 0)
      return nullptr;
    i += size;
  }
  return copyLatin1(text, length);
}

typedef char *(*Converter)(const unsigned char *text, size_t length);

/* Indexed by [from][to]. */
const Converter converters[2][2] = {
    /* from ISO-8859-1 */ {copyLatin1, latin1ToUtf8},
    /* from UTF-8 */ {utf8ToLatin1, copyUtf8},
};

} // namespace

void setHostEncoding(int id) {
  currentEncoding = id;
}

int hostEncoding() {
  return currentEncoding;
}

char *convertString(const char *text, int fromEncoding, int toEncoding, const TagItem *tags) {
  if (!text || !knownEncoding(fromEncoding) || !knownEncoding(toEncoding))
    return nullptr;
  uintptr_t length;
  if (!findTag(tags, CONVERT_TAG_SOURCE_LENGTH, &length))
    length = strlen(text);
  return converters[fromEncoding][toEncoding](reinterpret_cast<const unsigned char *>(text),
                                              length);
}

void freeConvertedString(char *text) {
  free(text);
}

void setParsePiece(int32_t bytes) {
  parsePiece = bytes;
}

void queryHostInfo(const TagItem *tags) {
  for (; tags && tags->tag != TAG_DONE; tags++) {
    if (tags->tag == HOSTINFO_TAG_ENCODING && tags->data)
      *reinterpret_cast<int32_t *>(tags->data) = currentEncoding;
    if (tags->tag == HOSTINFO_TAG_PARSE_PIECE && tags->data)
      *reinterpret_cast<int32_t *>(tags->data) = parsePiece;
  }
}

} // namespace velloran
