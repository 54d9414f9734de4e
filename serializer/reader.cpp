/*
 * Reading: what the Expat handlers of both formats share (they are in
 * reader_items.cpp and reader_document.cpp), and readItem, which feeds
 * Expat from the host's readFunc and hands the records over one item at a
 * time through the routines of the format.
 */
#include <stdint.h>
#include <string.h>

#include "host/services.h"
#include "parser/positions.h"
#include "serializer/context.h"

/* ---- what the handlers of both formats share ---- */

void failParse(SerializerContext *context) {
  context->read.handlerFailed = 1;
  XML_StopParser(context->read.parser, XML_FALSE);
}

void mapName(char *name) {
  int32_t position = 0;
  while (name[position]) {
    int32_t start = position;
    uint32_t c = host::DecodeUTF8Char(name, &position);
    if (position <= start)
      break;
    char scratch[16] = {0};
    host::EncodeUTF8Char(scratch, host::MapChar(c));
    scratch[sizeof scratch - 1] = 0;
    if (strlen(scratch) == static_cast<size_t>(position - start))
      memcpy(name + start, scratch, strlen(scratch));
  }
}

/* Room for length more bytes and the zero that number parsing puts
   behind them. A text that comes in pieces grows by doubling: a long one
   costs few copies, and the short white space around the child elements of
   every element of a big document costs no more than its own length. */
static bool reserveCharData(CharData *text, int length) {
  if (length < 0 || text->length > INT32_MAX - 1 - length)
    return false;
  int32_t need = text->length + length + 1;
  if (need <= text->capacity)
    return true;
  int64_t capacity = need;
  if (capacity < 2 * static_cast<int64_t>(text->capacity))
    capacity = 2 * static_cast<int64_t>(text->capacity);
  if (capacity > INT32_MAX)
    capacity = INT32_MAX;
  char *data = static_cast<char *>(host::AllocMem(static_cast<size_t>(capacity), 0, "databuf"));
  if (!data)
    return false;
  if (text->bytes) {
    memcpy(data, text->bytes, static_cast<size_t>(text->length));
    host::FreeMem(text->bytes);
  }
  text->bytes = data;
  text->capacity = static_cast<int32_t>(capacity);
  return true;
}

void appendCharData(SerializerContext *context, CharData *text, const XML_Char *bytes, int length) {
  if (!reserveCharData(text, length)) {
    keepNoMemory(context);
    failParse(context);
    return;
  }
  memcpy(text->bytes + text->length, bytes, static_cast<size_t>(length));
  text->length += length;
}

/* ---- handing over ---- */

bool handOverText(SerializerContext *context, ItemValue *value, char *text, int32_t length) {
  value->type = ITEM_STRING;
  if (context->targetEncoding == ENCODING_UTF8 || length <= 0) {
    value->data = text;
    value->length = length;
    return true;
  }
  if (context->read.convertedText) {
    host::FreeConvertedString(context->read.convertedText);
    context->read.convertedText = nullptr;
  }
  const TagItem tags[] = {{CONVERT_TAG_SOURCE_LENGTH, static_cast<uintptr_t>(length)},
                          {TAG_DONE, 0}};
  char *converted = host::ConvertString(text, ENCODING_UTF8, context->targetEncoding, tags);
  if (!converted)
    return false;
  context->read.convertedText = converted;
  size_t n = strlen(converted);
  if (n > INT32_MAX)
    return false;
  value->data = converted;
  value->length = static_cast<int32_t>(n);
  return true;
}

/* Size of the next piece to read: ordinary input keeps pieces of
   SERIALIZER_READ_SIZE, a long open token makes them grow. */
static int32_t pieceSize(const ReaderState *read) {
  return expatNextPiece(read->parser, read->bytesRead, SERIALIZER_READ_SIZE);
}

/* Fills size bytes from readFunc, fewer when the input ends (*ended set);
   -1 when readFunc fails. */
static int32_t readPiece(SerializerContext *context, char *buffer, int32_t size, int32_t *ended) {
  int32_t filled = 0;
  while (filled < size) {
    int32_t n = context->read.readFunc(buffer + filled, size - filled, context->streamHandle);
    if (n < 0 || n > size - filled)
      return -1;
    if (n == 0) {
      *ended = 1;
      break;
    }
    filled += n;
  }
  return filled;
}

/* Pieces are read straight into Expat's buffer. The end of the input is
   told to Expat, so that a document cut short is an error, not a shorter
   document. */
void parseInput(SerializerContext *context) {
  ReaderState *read = &context->read;
  if (read->parseStatus == XML_STATUS_SUSPENDED)
    read->parseStatus = XML_ResumeParser(read->parser);
  while (read->parseStatus == XML_STATUS_OK && !read->inputFinished) {
    int32_t size = pieceSize(read);
    void *buffer = XML_GetBuffer(read->parser, size);
    int32_t ended = 0;
    if (!buffer) {
      keepNoMemory(context);
      read->parseStatus = XML_STATUS_ERROR;
      return;
    }
    int32_t n = readPiece(context, static_cast<char *>(buffer), size, &ended);
    if (n < 0) {
      keepReason(context, nullptr, "the stream cannot be read");
      read->parseStatus = XML_STATUS_ERROR;
      return;
    }
    read->bytesRead += n;
    read->inputFinished = ended;
    read->parseStatus = XML_ParseBuffer(read->parser, n, ended ? XML_TRUE : XML_FALSE);
  }
}

/* An item that could not be handed over is lost: the reader stays failed,
   so that no caller goes on with the items after it. */
static int handOver(SerializerContext *context, NextItem built) {
  if (built == NEXT_FAILED)
    context->read.parseStatus = XML_STATUS_ERROR;
  return built == NEXT_ITEM;
}

/* Reports a failure: the reason goes to the host, the result is 0. */
static int failed(SerializerContext *context) {
  const char *openName = nullptr;
  const TextPosition *openAt = nullptr;
  context->reader->openElement(context, &openName, &openAt);
  reportReason(context, openName, openAt);
  return 0;
}

/* Hands over what the records read so far give; when they give nothing,
   reads on until they do or the input ends. */
int readItem(SerializerContext *context, ItemValue *key, ItemValue *value, int *done) {
  const ReaderRoutines *reader = context->reader;
  ReaderState *read = &context->read;
  if (read->parseStatus == XML_STATUS_ERROR)
    return failed(context);
  NextItem built = reader->next(context, key, value);
  if (built != NEXT_NOTHING)
    return handOver(context, built) ? 1 : failed(context);
  if (reader->consumed)
    reader->consumed(context);
  if (read->inputFinished && read->parseStatus == XML_STATUS_OK) {
    *done = 1;
    return 1;
  }

  *done = 0;
  parseInput(context);
  if ((reader->parsed && !reader->parsed(context)) || read->parseStatus == XML_STATUS_ERROR)
    return failed(context);
  built = reader->next(context, key, value);
  if (built != NEXT_NOTHING)
    return handOver(context, built) ? 1 : failed(context);
  if (reader->finish && !reader->finish(context))
    return failed(context);
  *done = 1;
  return 1;
}
