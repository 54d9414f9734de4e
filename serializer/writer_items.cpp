/*
 * The item format, writing: one element per item, written at once, keys as
 * element names, a type attribute where the text alone would not tell the
 * type, all inside the root element.
 */
#include <math.h>
#include <stdint.h>
#include <string.h>

#include "host/services.h"
#include "serializer/context.h"

#define STRING_KEY_MAX 128

bool indexOfKey(const ItemValue *key, int32_t *index) {
  if (key->type != ITEM_NUMBER || !key->data)
    return false;
  double x;
  memcpy(&x, key->data, sizeof x);
  /* Fractions and NaN name no element; numbers beyond 32 bits would be
     saturated into another key. */
  if (x != ceil(x) || x < INT32_MIN || x > INT32_MAX)
    return false;
  *index = static_cast<int32_t>(x);
  return true;
}

static bool isNameStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

static bool isNameByte(unsigned char c) {
  return isNameStart(c) || (c >= '0' && c <= '9');
}

static bool isStringKey(const ItemValue *key) {
  if (key->type != ITEM_STRING || !key->data)
    return false;
  const unsigned char *name = static_cast<const unsigned char *>(key->data);
  size_t length = strnlen(reinterpret_cast<const char *>(name), STRING_KEY_MAX + 1);
  if (length == 0 || length > STRING_KEY_MAX || length != static_cast<size_t>(key->length))
    return false;
  if (!isNameStart(name[0]))
    return false;
  for (size_t i = 1; i < length; i++)
    if (!isNameByte(name[i]))
      return false;
  return true;
}

struct ItemTags {
  char start[SERIALIZER_TAG_SIZE]; /* without its closing '>' */
  char end[SERIALIZER_TAG_SIZE];
};

/* Tags are put together piece by piece, each piece cut to the room left
   (as snprintf would), with a terminating zero after each. */
static size_t putText(char *out, size_t size, size_t at, const char *text) {
  size_t n = strlen(text);
  if (n > size - 1 - at)
    n = size - 1 - at;
  memcpy(out + at, text, n);
  out[at + n] = 0;
  return at + n;
}

static size_t putNumber(char *out, size_t size, size_t at, int32_t n) {
  char digits[16];
  char *p = digits + sizeof digits - 1;
  *p = 0;
  int64_t v = n < 0 ? -static_cast<int64_t>(n) : n;
  do
    *--p = static_cast<char>('0' + v % 10);
  while ((v /= 10) != 0);
  if (n < 0)
    *--p = '-';
  return putText(out, size, at, p);
}

static bool composeTags(const ItemValue *key, ItemTags *tags) {
  int32_t n;
  if (indexOfKey(key, &n)) {
    putNumber(tags->start, sizeof tags->start,
              putText(tags->start, sizeof tags->start, 0, "<item."), n);
    size_t at = putNumber(tags->end, sizeof tags->end,
                          putText(tags->end, sizeof tags->end, 0, "</item."), n);
    putText(tags->end, sizeof tags->end, at, ">");
    return true;
  }
  if (isStringKey(key)) {
    const char *name = static_cast<const char *>(key->data);
    putText(tags->start, sizeof tags->start, putText(tags->start, sizeof tags->start, 0, "<"),
            name);
    size_t at =
        putText(tags->end, sizeof tags->end, putText(tags->end, sizeof tags->end, 0, "</"), name);
    putText(tags->end, sizeof tags->end, at, ">");
    return true;
  }
  return false;
}

/* The start tag with an optional attribute and its '>', indented. */
static int writeStartTag(SerializerContext *context, const ItemTags *tags, const char *attribute,
                         int lineBreak) {
  char line[SERIALIZER_TAG_SIZE + 32];
  size_t at = putText(line, sizeof line, 0, tags->start);
  putText(line, sizeof line, putText(line, sizeof line, at, attribute), ">");
  return writeText(context, line, 1, lineBreak);
}

static int writeEndTag(SerializerContext *context, const ItemTags *tags) {
  return writeText(context, tags->end, 0, 1);
}

/* ---- strings ---- */

enum StringClass { STRING_PLAIN, STRING_TYPED, STRING_BINARY };

static StringClass classifyString(SerializerContext *context, const char *data, int32_t length) {
  size_t n = static_cast<size_t>(length);
  if (isUnfitForXml(data, n, context->sourceEncoding))
    return STRING_BINARY;
  if (length == 0 || looksNumeric(data, n) || isWhitespace(data, n))
    return STRING_TYPED;
  return STRING_PLAIN;
}

static int writeEscaped(SerializerContext *context, const char *text) {
  size_t size = escapedSize(text, ESCAPE_TEXT);
  if (size == SIZE_MAX)
    return 0;
  if (size == strlen(text))
    return writeText(context, text, 0, 0);
  char *escaped = static_cast<char *>(host::AllocMem(size + 1, 0, "estr"));
  if (!escaped)
    return 0;
  *escapeText(escaped, text, ESCAPE_TEXT) = 0;
  int ok = writeText(context, escaped, 0, 0);
  host::FreeMem(escaped);
  return ok;
}

static int writeEncoded(SerializerContext *context, const ItemTags *tags, const char *attribute,
                        const ItemValue *value) {
  const void *data = value->data ? value->data : "";
  return writeStartTag(context, tags, attribute, 0) && writeBase64(context, data, value->length) &&
         writeEndTag(context, tags);
}

static int writeString(SerializerContext *context, const ItemTags *tags, const ItemValue *value) {
  const char *text = value->data ? static_cast<const char *>(value->data) : "";
  switch (classifyString(context, text, value->data ? value->length : 0)) {
  case STRING_BINARY:
    return writeEncoded(context, tags, " type=\"binary\"", value);
  case STRING_TYPED:
    return writeStartTag(context, tags, " type=\"string\"", 0) && writeEscaped(context, text) &&
           writeEndTag(context, tags);
  default:
    return writeStartTag(context, tags, "", 0) && writeEscaped(context, text) &&
           writeEndTag(context, tags);
  }
}

static int writeNumber(SerializerContext *context, const ItemTags *tags, const ItemValue *value) {
  double x;
  memcpy(&x, value->data, sizeof x);
  char text[NUMBER_TEXT_SIZE];
  host::NumberToString(text, x);
  text[NUMBER_TEXT_SIZE - 1] = 0;
  /* The reader takes untyped text for a number only when it begins with a
     digit, '-' or '.': a text such as "inf" or "nan" is typed, or it would
     come back as a string. */
  bool plain = looksNumeric(text, strlen(text));
  return writeStartTag(context, tags, plain ? "" : " type=\"number\"", 0) &&
         writeText(context, text, 0, 0) && writeEndTag(context, tags);
}

static int writeTable(SerializerContext *context, const ItemTags *tags, const ItemValue *value) {
  if (value->length) {
    if (!writeStartTag(context, tags, "", 1))
      return 0;
    context->write.depth++;
    return 1;
  }
  /* A table end with no table open would close the root element. */
  if (context->write.depth <= 0)
    return 0;
  context->write.depth--;
  return writeText(context, tags->end, 1, 1);
}

static int writeItem(SerializerContext *context, const ItemValue *key, const ItemValue *value) {
  ItemTags tags;
  if (!composeTags(key, &tags))
    return 0;
  if ((value->type == ITEM_STRING || value->type == ITEM_FUNCTION) && value->length < 0)
    return 0;
  if ((value->type == ITEM_FUNCTION && !value->data && value->length > 0) ||
      (value->type == ITEM_STRING && !value->data && value->length > 0) ||
      (value->type == ITEM_NUMBER && !value->data))
    return 0;
  switch (value->type) {
  case ITEM_TABLE:
    return writeTable(context, &tags, value);
  case ITEM_FUNCTION:
    return writeEncoded(context, &tags, " type=\"function\"", value);
  case ITEM_STRING:
    return writeString(context, &tags, value);
  case ITEM_NUMBER:
    return writeNumber(context, &tags, value);
  default:
    return writeStartTag(context, &tags, "", 0) && writeEndTag(context, &tags);
  }
}

/* A root name that is no XML name would write a document that no reader
   accepts. */
static int writeRootStart(SerializerContext *context) {
  return isWritableName(context, context->options.rootName) && writeDeclaration(context) &&
         writeLine(context, "<%s>", context->options.rootName);
}

static int writeRootEnd(SerializerContext *context) {
  return writeLine(context, "</%s>", context->options.rootName);
}

const WriterRoutines itemsWriter = {writeRootStart, writeItem, writeRootEnd, nullptr};
