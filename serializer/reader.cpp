/*
 * Reading: what the Expat handlers of both formats share (they are in
 * reader_items.cpp and reader_document.cpp), and DeserializeItem, which
 * feeds Expat from the host's readFunc and hands the records over one item
 * at a time.
 */
#include <stdint.h>
#include <string.h>

#include "host/services.h"
#include "parser/positions.h"
#include "serializer/context.h"
#include "serializer/serializer.h"

/* ---- what the handlers of both formats share ---- */

void failParse(SerializerContext *context) {
  context->handlerFailed = 1;
  XML_StopParser(context->parser, XML_FALSE);
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

void registerReaderHandlers(SerializerContext *context) {
  XML_SetUserData(context->parser, context);
  if (context->format == FORMAT_ITEMS)
    registerItemsHandlers(context->parser);
  else
    registerDocumentHandlers(context->parser);
}

/* ---- handing over ---- */

bool handOverText(SerializerContext *context, ItemValue *value, char *text, int32_t length) {
  value->type = ITEM_STRING;
  if (context->targetEncoding == ENCODING_UTF8 || length <= 0) {
    value->data = text;
    value->length = length;
    return true;
  }
  if (context->convertedText) {
    host::FreeConvertedString(context->convertedText);
    context->convertedText = nullptr;
  }
  const TagItem tags[] = {{CONVERT_TAG_SOURCE_LENGTH, static_cast<uintptr_t>(length)},
                          {TAG_DONE, 0}};
  char *converted = host::ConvertString(text, ENCODING_UTF8, context->targetEncoding, tags);
  if (!converted)
    return false;
  context->convertedText = converted;
  size_t n = strlen(converted);
  if (n > INT32_MAX)
    return false;
  value->data = converted;
  value->length = static_cast<int32_t>(n);
  return true;
}

static BuildResult buildNextItem(SerializerContext *context, ItemValue *key, ItemValue *value) {
  if (context->format == FORMAT_ITEMS)
    return buildItemsItem(context, key, value);
  return buildDocumentItem(context, key, value);
}

/* The item format: the last record has been handed over; its parent is
   the element being read again. */
static void removeLastRecord(SerializerContext *context) {
  ItemRecord *last = context->itemLast;
  if (!last)
    return;
  ItemRecord *previous = last->parent;
  if (previous)
    previous->next = nullptr;
  else
    context->itemList = nullptr;
  context->itemLast = previous;
  if (context->itemPending == last)
    context->itemPending = nullptr;
  last->next = nullptr;
  freeItemRecords(last);
}

/* Size of the next piece to read: ordinary input keeps pieces of
   SERIALIZER_READ_SIZE, a long open token makes them grow. */
static int32_t pieceSize(SerializerContext *context) {
  return expatNextPiece(context->parser, context->bytesRead, SERIALIZER_READ_SIZE);
}

/* Fills size bytes from readFunc, fewer when the input ends (*ended set);
   -1 when readFunc fails. */
static int32_t readPiece(SerializerContext *context, char *buffer, int32_t size, int32_t *ended) {
  int32_t filled = 0;
  while (filled < size) {
    int32_t n = context->readFunc(buffer + filled, size - filled, context->streamHandle);
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

/* The document formats write an empty table as the declaration alone: an
   input that ends before any element has begun reads as that empty table.
   An input cut inside an element stays an error, and so does one without
   the item format's root element. */
static void acceptEmptyDocument(SerializerContext *context) {
  if (context->parseStatus == XML_STATUS_ERROR && context->inputFinished &&
      context->format != FORMAT_ITEMS && !context->documentList && !context->handlerFailed &&
      XML_GetErrorCode(context->parser) == XML_ERROR_NO_ELEMENTS)
    context->parseStatus = XML_STATUS_OK;
}

/* Parses until an end tag suspends Expat (item format), the input ends or
   an error stops it. Pieces are read straight into Expat's buffer. The end
   of the input is told to Expat, so that a document cut short is an error,
   not a shorter document. */
static void parseInput(SerializerContext *context) {
  if (context->parseStatus == XML_STATUS_SUSPENDED)
    context->parseStatus = XML_ResumeParser(context->parser);
  while (context->parseStatus == XML_STATUS_OK && !context->inputFinished) {
    int32_t size = pieceSize(context);
    void *buffer = XML_GetBuffer(context->parser, size);
    int32_t ended = 0;
    if (!buffer) {
      keepNoMemory(context);
      context->parseStatus = XML_STATUS_ERROR;
      return;
    }
    int32_t n = readPiece(context, static_cast<char *>(buffer), size, &ended);
    if (n < 0) {
      keepReason(context, nullptr, "the stream cannot be read");
      context->parseStatus = XML_STATUS_ERROR;
      return;
    }
    context->bytesRead += n;
    context->inputFinished = ended;
    context->parseStatus = XML_ParseBuffer(context->parser, n, ended ? XML_TRUE : XML_FALSE);
  }
  acceptEmptyDocument(context);
}

/* An item that could not be handed over is lost: the reader stays failed,
   so that no caller goes on with the items after it. */
static int handOver(SerializerContext *context, BuildResult built) {
  if (built == BUILD_FAILED)
    context->parseStatus = XML_STATUS_ERROR;
  return built == BUILD_ITEM;
}

/* Reports a failure: the reason goes to the host, the result is 0. */
static int failed(SerializerContext *context) {
  const char *openName = nullptr;
  const TextPosition *openAt = nullptr;
  if (context->format == FORMAT_ITEMS && context->itemLast && !context->itemLast->closed) {
    openName = context->itemLast->name();
    openAt = &context->itemLast->at;
  } else if (context->format != FORMAT_ITEMS && context->documentCurrent) {
    openName = context->documentCurrent->name();
    openAt = &context->documentCurrent->at;
  }
  reportReason(context, openName, openAt);
  return 0;
}

/* The item format: the root element has ended (and is the last record). */
static bool rootEnded(SerializerContext *context) {
  return context->itemList && context->itemList == context->itemLast && context->itemList->closed;
}

extern "C" int DeserializeItem(void *handle, ItemValue *key, ItemValue *value, int *done) {
  SerializerContext *context = static_cast<SerializerContext *>(handle);
  if (!context || !context->parser || !key || !value || !done)
    return 0;
  if (context->parseStatus == XML_STATUS_ERROR)
    return failed(context);
  BuildResult built = buildNextItem(context, key, value);
  if (built != BUILD_NOTHING)
    return handOver(context, built) ? 1 : failed(context);
  if (context->format == FORMAT_ITEMS)
    removeLastRecord(context);
  if (context->inputFinished && context->parseStatus == XML_STATUS_OK) {
    *done = 1;
    return 1;
  }

  *done = 0;
  parseInput(context);
  if (context->parseStatus == XML_STATUS_ERROR)
    return failed(context);
  if (context->parseStatus == XML_STATUS_SUSPENDED && context->format != FORMAT_ITEMS)
    return failed(context);
  /* Suspended after an end tag, or the whole document has been read. */
  if (context->format != FORMAT_ITEMS && context->parseStatus == XML_STATUS_OK)
    context->documentCurrent = context->documentList;
  built = buildNextItem(context, key, value);
  if (built != BUILD_NOTHING)
    return handOver(context, built) ? 1 : failed(context);
  /* After the root element only comments, processing instructions and
     white space may follow: what does is read to the end. */
  if (context->format == FORMAT_ITEMS && rootEnded(context)) {
    parseInput(context);
    if (context->parseStatus == XML_STATUS_ERROR)
      return failed(context);
  }
  *done = 1;
  return 1;
}
