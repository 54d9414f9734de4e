/*
 * What text may stand in the written XML: escaping of character data and
 * attribute values, and the checks for text and names that XML cannot
 * carry as they are.
 */
#include <stdint.h>
#include <string.h>

#include "host/services.h"
#include "serializer/context.h"

struct EscapeRecord {
  unsigned char byte;
  const char *entity;
  int attributeOnly;
};

/* XML readers turn CR (and CR LF) into LF everywhere and TAB, LF and CR in
   attribute values into spaces, so those are written as character
   references where they would change. No entity is longer than 6 bytes. */
static const EscapeRecord escapeTable[] = {
    {'"', "&quot;", 0}, {'&', "&amp;", 0}, {'\'', "&apos;", 0}, {'<', "&lt;", 0}, {'>', "&gt;", 0},
    {'\r', "&#13;", 0}, {'\t', "&#9;", 1}, {'\n', "&#10;", 1},  {0, nullptr, 0},
};

static const char *entityFor(unsigned char c, EscapeMode mode) {
  if (c > '>')
    return nullptr;
  for (const EscapeRecord *r = escapeTable; r->entity; r++)
    if (r->byte == c && (!r->attributeOnly || mode == ESCAPE_ATTRIBUTE))
      return r->entity;
  return nullptr;
}

size_t countSpecial(const char *text, EscapeMode mode) {
  size_t count = 0;
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; p++)
    if (entityFor(*p, mode))
      count++;
  return count;
}

char *escapeText(char *destination, const char *text, EscapeMode mode) {
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; p++) {
    const char *entity = entityFor(*p, mode);
    if (entity) {
      size_t n = strlen(entity);
      memcpy(destination, entity, n);
      destination += n;
    } else {
      *destination++ = static_cast<char>(*p);
    }
  }
  return destination;
}

size_t escapedSize(const char *text, EscapeMode mode) {
  size_t length = strlen(text);
  size_t count = countSpecial(text, mode);
  if (length > INT32_MAX || count > (INT32_MAX - length) / 6)
    return SIZE_MAX;
  return length + 6 * count;
}

bool isWhitespace(const char *text, size_t length) {
  for (size_t i = 0; i < length; i++)
    if (text[i] != '\t' && text[i] != '\n' && text[i] != '\r' && text[i] != ' ')
      return false;
  return true;
}

bool looksNumeric(const char *text, size_t length) {
  return length > 0 && ((text[0] >= '0' && text[0] <= '9') || text[0] == '-' || text[0] == '.');
}

bool isUnfitForXml(const char *text, size_t length, int32_t encoding) {
  const unsigned char *bytes = reinterpret_cast<const unsigned char *>(text);
  for (size_t i = 0; i < length; i++)
    if (bytes[i] < 32 && bytes[i] != '\t' && bytes[i] != '\n' && bytes[i] != '\r')
      return true;
  if (encoding != ENCODING_UTF8)
    return false;
  if (!host::IsValidUTF8(text))
    return true;
  /* U+FFFE and U+FFFF are valid UTF-8 but no XML characters. */
  for (size_t i = 0; i + 2 < length; i++)
    if (bytes[i] == 0xEF && bytes[i + 1] == 0xBF && bytes[i + 2] >= 0xBE)
      return true;
  return false;
}

/* ---- names ---- */

/* Bytes that no XML name holds, and that would let a text that is no name
   parse as one (white space before "/>"). */
static const char NOT_IN_NAMES[] = " \t\r\n<>/&\"'=?!";

struct NameProbe {
  int elements;
  int attributes;
};

static void XMLCALL probeStart(void *userData, const XML_Char *, const XML_Char **attributes) {
  NameProbe *probe = static_cast<NameProbe *>(userData);
  probe->elements++;
  if (attributes[0])
    probe->attributes++;
}

/* The reader is Expat, so Expat decides: the name is one when "<name/>" is
   a document of exactly that one element without attributes. */
/* ASCII_NAME_START and ASCII_NAME_CHAR: the ASCII characters that may begin
   a name and that may follow in one, as Expat reads them (in both
   encodings ASCII is itself). */
enum { ASCII_NAME_START = 1, ASCII_NAME_CHAR = 2 };

static unsigned asciiNameClass(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':')
    return ASCII_NAME_START | ASCII_NAME_CHAR;
  if ((c >= '0' && c <= '9') || c == '-' || c == '.')
    return ASCII_NAME_CHAR;
  return 0;
}

/* Names of ASCII letters, digits and the four punctuation characters are
   decided here (1 or 0); any other byte leaves the decision to Expat (-1). */
static int checkAsciiName(const char *name) {
  int valid = 1;
  for (const unsigned char *c = reinterpret_cast<const unsigned char *>(name); *c; c++) {
    if (*c >= 0x80)
      return -1;
    unsigned wanted =
        c == reinterpret_cast<const unsigned char *>(name) ? ASCII_NAME_START : ASCII_NAME_CHAR;
    if (!(asciiNameClass(*c) & wanted))
      valid = 0;
  }
  return valid;
}

bool isXmlName(const char *name, int32_t encoding) {
  if (!name[0] || strpbrk(name, NOT_IN_NAMES))
    return false;
  /* Most names are plain ASCII: no parser needed for them. */
  int ascii = checkAsciiName(name);
  if (ascii >= 0)
    return ascii == 1;
  XML_Parser parser = XML_ParserCreate_MM(encoding == ENCODING_UTF8 ? "UTF-8" : "ISO-8859-1",
                                          host::expatMemory(), nullptr);
  if (!parser)
    return false;
  NameProbe probe = {0, 0};
  XML_SetUserData(parser, &probe);
  XML_SetStartElementHandler(parser, probeStart);
  size_t length = strlen(name);
  bool ok = length <= INT32_MAX && XML_Parse(parser, "<", 1, XML_FALSE) == XML_STATUS_OK &&
            XML_Parse(parser, name, static_cast<int>(length), XML_FALSE) == XML_STATUS_OK &&
            XML_Parse(parser, "/>", 2, XML_TRUE) == XML_STATUS_OK && probe.elements == 1 &&
            probe.attributes == 0;
  XML_ParserFree(parser);
  return ok;
}

bool isWritableName(SerializerContext *context, const char *name) {
  if (context->sourceEncoding == context->targetEncoding)
    return isXmlName(name, context->sourceEncoding);
  /* The name is checked as it will be written: a character that the
     target encoding lacks becomes '?', which no name holds. */
  const TagItem tags[] = {{CONVERT_TAG_SOURCE_LENGTH, strlen(name)}, {TAG_DONE, 0}};
  char *converted =
      host::ConvertString(name, context->sourceEncoding, context->targetEncoding, tags);
  if (!converted)
    return false;
  bool ok = isXmlName(converted, context->targetEncoding);
  host::FreeConvertedString(converted);
  return ok;
}
