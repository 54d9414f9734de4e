/*
 * The writer's output: bytes to the host's writeFunc, indented and
 * converted text lines, base64 text broken into lines, and the lines that
 * begin and end a document.
 */
#include <stdint.h>
#include <string.h>

#include "host/services.h"
#include "serializer/context.h"

int writeBytes(SerializerContext *context, const char *bytes, size_t length) {
  if (length == 0)
    return 1;
  if (length > INT32_MAX)
    return 0;
  int32_t n = static_cast<int32_t>(length);
  return context->write.writeFunc(bytes, n, context->streamHandle) == n;
}

/* The indentation: one TAB per level, up to the length of this run. Deeper
   levels are indented as much as the last, so that the written size grows
   with the depth, not with its square; their tags still stand on lines of
   their own, and the reader ignores the layout anyway. */
static const char TABS[] = "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t";

/* depth + 1 TABs, at most all of TABS; none at a negative depth. */
static int writeIndent(SerializerContext *context) {
  if (context->write.depth < 0)
    return 1;
  size_t tabs = static_cast<size_t>(context->write.depth) + 1;
  return writeBytes(context, TABS, tabs < sizeof TABS - 1 ? tabs : sizeof TABS - 1);
}

/* UTF-8 text written as ISO-8859-1: a character beyond ISO-8859-1 becomes
   a character reference (&#8364;), which every XML reader turns back into
   the character. Only text can hold such characters here: a name that the
   target encoding cannot hold is refused before it is written. */
static int writeLatin1(SerializerContext *context, const char *text, size_t length) {
  char out[1024];
  size_t used = 0;
  size_t at = 0;
  while (at < length) {
    /* Room for the longest reference, "&#1114111;". */
    if (used > sizeof out - 16) {
      if (!writeBytes(context, out, used))
        return 0;
      used = 0;
    }
    unsigned char byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x80) {
      out[used++] = static_cast<char>(byte);
      at++;
      continue;
    }
    int32_t position = static_cast<int32_t>(at);
    uint32_t c = host::DecodeUTF8Char(text, &position);
    if (position <= static_cast<int32_t>(at))
      return 0;
    at = static_cast<size_t>(position);
    if (c <= 0xFF)
      out[used++] = static_cast<char>(c);
    else
      used += static_cast<size_t>(host::snprintf(out + used, sizeof out - used, "&#%u;", c));
  }
  return writeBytes(context, out, used);
}

static int writeConverted(SerializerContext *context, const char *text) {
  size_t length = strlen(text);
  if (context->sourceEncoding == context->targetEncoding)
    return writeBytes(context, text, length);
  if (context->sourceEncoding == ENCODING_UTF8 && length <= INT32_MAX)
    return writeLatin1(context, text, length);
  const TagItem tags[] = {{CONVERT_TAG_SOURCE_LENGTH, length}, {TAG_DONE, 0}};
  char *converted =
      host::ConvertString(text, context->sourceEncoding, context->targetEncoding, tags);
  if (!converted)
    return 0;
  int ok = writeBytes(context, converted, strlen(converted));
  host::FreeConvertedString(converted);
  return ok;
}

int writeText(SerializerContext *context, const char *text, int indent, int lineBreak) {
  if (indent && !writeIndent(context))
    return 0;
  if (text && text[0] && !writeConverted(context, text))
    return 0;
  if (lineBreak && !writeBytes(context, "\n", 1))
    return 0;
  return 1;
}

static int writeBase64Lines(SerializerContext *context, const char *text, int32_t length) {
  if (length <= BASE64_LINE)
    return writeBytes(context, text, static_cast<size_t>(length));
  for (int32_t at = 0; at < length; at += BASE64_LINE) {
    int32_t piece = length - at < BASE64_LINE ? length - at : BASE64_LINE;
    if (!writeText(context, nullptr, 0, 1) || !writeIndent(context) ||
        !writeBytes(context, text + at, static_cast<size_t>(piece)))
      return 0;
  }
  return 1;
}

int writeBase64(SerializerContext *context, const void *data, int32_t length) {
  if (length < 0)
    return 0;
  size_t size = (static_cast<size_t>(length) + 2) / 3 * 4 + 1;
  if (size - 1 > INT32_MAX)
    return 0;
  char *buffer = static_cast<char *>(host::AllocMem(size, 0, "b64out"));
  if (!buffer)
    return 0;
  int32_t outLength = 0;
  host::Base64Encode(data, length, buffer, &outLength, nullptr);
  int ok = outLength >= 0 && static_cast<size_t>(outLength) < size;
  if (ok && outLength > 0) {
    context->write.depth++;
    ok = writeBase64Lines(context, buffer, outLength);
    context->write.depth--;
    if (ok && outLength > BASE64_LINE)
      ok = writeText(context, nullptr, 0, 1) && writeIndent(context);
  }
  host::FreeMem(buffer);
  return ok;
}

int writeLine(SerializerContext *context, const char *format, const char *argument) {
  char line[ROOT_LINE_SIZE];
  host::snprintf(line, sizeof line, format, argument);
  return writeText(context, line, 0, 1);
}

int writeDeclaration(SerializerContext *context) {
  const char *encoding = context->targetEncoding == ENCODING_UTF8 ? "utf-8" : "iso-8859-1";
  return writeLine(context, "<?xml version=\"1.0\" encoding=\"%s\"?>", encoding);
}
