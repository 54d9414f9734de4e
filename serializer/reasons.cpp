/*
 * Why reading failed. The reader keeps the first reason it meets, with the
 * line and column where it lies: a handler that refuses an element, an item
 * that cannot be handed over, or, when nothing of its own failed, Expat's
 * error. DeserializeItem hands the reason to the host with SetErrorArgument
 * before it reports the failure (see host/abi.h).
 */
#include <stdarg.h>
#include <string.h>

#include "host/services.h"
#include "parser/positions.h"
#include "serializer/context.h"

/* Room that the position leaves for the text of a reason. */
enum { POSITION_SIZE = 56 };

static const char NO_MEMORY[] = SERIALIZER_NO_MEMORY;

void keepReason(SerializerContext *context, const TextPosition *at, const char *format, ...) {
  if (context->reason[0])
    return;
  va_list args;
  va_start(args, format);
  host::vsnprintf(context->reason, sizeof context->reason - POSITION_SIZE, format, args);
  va_end(args);
  if (!at)
    return;
  size_t used = strlen(context->reason);
  host::snprintf(context->reason + used, sizeof context->reason - used,
                 " at line %llu, column %llu", static_cast<unsigned long long>(at->line),
                 static_cast<unsigned long long>(at->column));
}

void keepNoMemory(SerializerContext *context) {
  keepReason(context, nullptr, "%s", NO_MEMORY);
}

void keepUnconverted(SerializerContext *context, const char *name, const TextPosition *at) {
  char shown[SHOWN_NAME_SIZE];
  keepReason(context, at, "a text of <%s> that the host's encoding cannot take",
             shownName(name, shown));
}

TextPosition expatPosition(XML_Parser parser) {
  return {expatLineNumber(parser), expatColumnNumber(parser) + 1};
}

const char *shownName(const char *name, char buffer[SHOWN_NAME_SIZE]) {
  size_t length = strlen(name);
  if (length < SHOWN_NAME_SIZE)
    return name;
  size_t keep = SHOWN_NAME_SIZE - 4;
  /* Not inside a UTF-8 sequence: back to the byte that begins it. */
  while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
    keep--;
  memcpy(buffer, name, keep);
  memcpy(buffer + keep, "...", 4);
  return buffer;
}

/* Whether Expat stopped at the start tag of an element (not at a comment,
   a processing instruction, an end tag or text). */
static bool stoppedAtStartTag(XML_Parser parser) {
  int offset = 0, size = 0;
  const char *input = expatInputContext(parser, &offset, &size);
  if (!input || offset < 0 || offset + 1 >= size || input[offset] != '<')
    return false;
  char next = input[offset + 1];
  return next != '!' && next != '?' && next != '/';
}

/* The reason of Expat's error, in the words of this format where they say
   more than Expat's. */
static void explainExpatError(SerializerContext *context, const char *openName,
                              const TextPosition *openAt) {
  XML_Parser parser = context->parser;
  enum XML_Error code = XML_GetErrorCode(parser);
  char shown[SHOWN_NAME_SIZE];
  if (code == XML_ERROR_NO_MEMORY) {
    keepNoMemory(context);
    return;
  }
  if (code == XML_ERROR_NO_ELEMENTS && context->inputFinished && openName) {
    keepReason(context, openAt, "the document ends inside <%s>", shownName(openName, shown));
    return;
  }
  TextPosition at = expatPosition(parser);
  if (code == XML_ERROR_JUNK_AFTER_DOC_ELEMENT && stoppedAtStartTag(parser)) {
    keepReason(context, &at, "a second document element");
    return;
  }
  const XML_LChar *message = code != XML_ERROR_NONE ? XML_ErrorString(code) : nullptr;
  keepReason(context, &at, "%s", message ? message : "the XML cannot be read");
}

void reportReason(SerializerContext *context, const char *openName, const TextPosition *openAt) {
  if (!context->reason[0])
    explainExpatError(context, openName, openAt);
  host::SetErrorArgument(context->reason);
}
