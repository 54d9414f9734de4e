/*
 * Reading: the Expat handlers that turn elements into records, and
 * DeserializeItem, which feeds Expat from the host's readFunc and hands the
 * records over one item at a time.
 */
#include <stdint.h>
#include <string.h>

#include "host/services.h"
#include "serializer/context.h"
#include "serializer/serializer.h"

/* Stops the parse with an error; events that Expat still reports after
   this change nothing. */
static void failParse(SerializerContext *context) {
  context->handlerFailed = 1;
  XML_StopParser(context->parser, XML_FALSE);
}

/* ---- start element ---- */

struct TypeRecord {
  const char *name;
  int32_t valueType;
  int32_t isBinary;
};

static const TypeRecord typeTable[] = {
    {"function", ITEM_FUNCTION, 0}, {"binary", ITEM_STRING, 1}, {"string", ITEM_STRING, 0},
    {"table", ITEM_TABLE, 0},       {"number", ITEM_NUMBER, 0}, {nullptr, 0, 0},
};

/* The item format's one attribute, "type"; false for anything else. */
static bool takeTypeAttributes(ItemRecord *node, const XML_Char **attributes) {
  for (int i = 0; attributes[i]; i += 2) {
    if (strcmp(attributes[i], "type") != 0)
      return false;
    const TypeRecord *t = typeTable;
    while (t->name && strcmp(t->name, attributes[i + 1]) != 0)
      t++;
    if (!t->name)
      return false;
    node->valueType = t->valueType;
    node->isBinary = t->isBinary;
  }
  return true;
}

/* Copies the attributes as name, value, name, value. */
static void copyAttributes(char *to, const XML_Char **attributes) {
  for (int i = 0; attributes[i]; i++) {
    size_t n = strlen(attributes[i]) + 1;
    memcpy(to, attributes[i], n);
    to += n;
  }
}

/* Maps the name in place through the host's MapChar, character by
   character; a character whose mapped form has another length stays. */
static void mapName(char *name) {
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

/* Size of a document record with its texts; 0 when it cannot be
   counted. */
static size_t recordSize(const XML_Char *name, const XML_Char **attributes, int32_t *count) {
  size_t size = sizeof(DocumentRecord) + strlen(name) + 1;
  *count = 0;
  for (int i = 0; attributes[i]; i += 2) {
    size_t n = strlen(attributes[i]) + strlen(attributes[i + 1]) + 2;
    if (n > SIZE_MAX - size || *count == INT32_MAX)
      return 0;
    size += n;
    ++*count;
  }
  return size;
}

/* Room for length more bytes and the zero that number parsing puts
   behind them. */
static bool reserveCharData(CharData *text, int length) {
  if (length < 0 || text->length > INT32_MAX - 1 - length)
    return false;
  int32_t need = text->length + length + 1;
  if (need <= text->capacity)
    return true;
  int64_t capacity = need;
  if (text->capacity > 0) {
    int64_t step = text->capacity > SERIALIZER_READ_SIZE ? text->capacity : SERIALIZER_READ_SIZE;
    if (capacity < text->capacity + step)
      capacity = text->capacity + step;
    if (capacity > INT32_MAX)
      capacity = INT32_MAX;
  }
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

static void appendCharData(SerializerContext *context, CharData *text, const XML_Char *bytes,
                           int length) {
  if (!reserveCharData(text, length)) {
    failParse(context);
    return;
  }
  memcpy(text->bytes + text->length, bytes, static_cast<size_t>(length));
  text->length += length;
}

/* ---- the item format ---- */

static void XMLCALL startItemElement(void *userData, const XML_Char *name,
                                     const XML_Char **attributes) {
  SerializerContext *context = static_cast<SerializerContext *>(userData);
  if (context->handlerFailed)
    return;
  if (!context->itemList && strcmp(name, context->options.rootName) != 0) {
    failParse(context);
    return;
  }
  size_t nameSize = strlen(name) + 1;
  ItemRecord *node =
      static_cast<ItemRecord *>(host::AllocMem(sizeof(ItemRecord) + nameSize, 1, "scope"));
  if (!node) {
    failParse(context);
    return;
  }
  node->valueType = VALUE_UNTYPED;
  memcpy(node->name(), name, nameSize);
  if (!takeTypeAttributes(node, attributes)) {
    host::FreeMem(node);
    failParse(context);
    return;
  }
  if (!context->options.rawNames)
    mapName(node->name());

  /* The record before this one is the element it is read in. The text of
     an element with children is never handed over (it is a table), nor is
     the root's: it need not be kept. */
  ItemRecord *parent = context->itemLast;
  if (parent) {
    if (parent->text.bytes) {
      host::FreeMem(parent->text.bytes);
      parent->text = CharData{};
    }
    parent->hasChildren = 1;
    parent->next = node;
    node->index = parent->index + 1;
  } else {
    context->itemList = node;
  }
  node->parent = parent;
  context->itemLast = node;
  if (node != context->itemList && !context->itemPending)
    context->itemPending = node;
}

/* An element has ended: Expat is suspended, so that its item is handed
   over before anything else is read. */
static void XMLCALL endItemElement(void *userData, const XML_Char *) {
  SerializerContext *context = static_cast<SerializerContext *>(userData);
  ItemRecord *node = context->itemLast;
  if (context->handlerFailed || !node)
    return;
  node->closed = 1;
  node->delivered = 0;
  if (node != context->itemList && !context->itemPending)
    context->itemPending = node;
  XML_StopParser(context->parser, XML_TRUE);
}

static void XMLCALL itemCharacterData(void *userData, const XML_Char *bytes, int length) {
  SerializerContext *context = static_cast<SerializerContext *>(userData);
  ItemRecord *node = context->itemLast;
  if (context->handlerFailed || !node || node == context->itemList || node->hasChildren)
    return;
  appendCharData(context, &node->text, bytes, length);
}

/* ---- the document formats ---- */

static void linkDocumentRecord(SerializerContext *context, DocumentRecord *node) {
  DocumentRecord *parent = context->documentCurrent;
  if (parent) {
    if (parent->lastChild) {
      parent->lastChild->next = node;
      node->index = parent->lastChild->index + 1;
    } else {
      parent->children = node;
    }
    parent->lastChild = node;
  } else if (!context->documentList) {
    context->documentList = node;
  } else {
    DocumentRecord *last = context->documentList;
    while (last->next)
      last = last->next;
    last->next = node;
    node->index = last->index + 1;
  }
  node->parent = parent;
  context->documentCurrent = node;
}

static void XMLCALL startDocumentElement(void *userData, const XML_Char *name,
                                         const XML_Char **attributes) {
  SerializerContext *context = static_cast<SerializerContext *>(userData);
  if (context->handlerFailed)
    return;
  int32_t count;
  size_t size = recordSize(name, attributes, &count);
  DocumentRecord *node =
      size ? static_cast<DocumentRecord *>(host::AllocMem(size, 1, "scope")) : nullptr;
  if (!node) {
    failParse(context);
    return;
  }
  size_t nameSize = strlen(name) + 1;
  memcpy(node->name(), name, nameSize);
  copyAttributes(node->name() + nameSize, attributes);
  node->attributeCount = count;
  if (!context->options.rawNames)
    mapName(node->name());
  linkDocumentRecord(context, node);
}

static void XMLCALL endDocumentElement(void *userData, const XML_Char *) {
  SerializerContext *context = static_cast<SerializerContext *>(userData);
  DocumentRecord *node = context->documentCurrent;
  if (context->handlerFailed || !node)
    return;
  context->documentCurrent = node->parent;
}

static void XMLCALL documentCharacterData(void *userData, const XML_Char *bytes, int length) {
  SerializerContext *context = static_cast<SerializerContext *>(userData);
  DocumentRecord *node = context->documentCurrent;
  if (context->handlerFailed || !node)
    return;
  appendCharData(context, &node->text, bytes, length);
}

void registerReaderHandlers(SerializerContext *context) {
  XML_SetUserData(context->parser, context);
  if (context->format == FORMAT_ITEMS) {
    XML_SetElementHandler(context->parser, startItemElement, endItemElement);
    XML_SetCharacterDataHandler(context->parser, itemCharacterData);
  } else {
    XML_SetElementHandler(context->parser, startDocumentElement, endDocumentElement);
    XML_SetCharacterDataHandler(context->parser, documentCharacterData);
  }
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

/* Size of the next piece to read. Expat (2.5) scans a token that is still
   open at the end of a piece again from its start with every later piece;
   a piece at least as long as that open tail keeps the work per byte
   bounded however long a token grows (the pieces then double while the
   token stays open). Ordinary input keeps pieces of SERIALIZER_READ_SIZE. */
static int32_t pieceSize(SerializerContext *context) {
  XML_Index at = XML_GetCurrentByteIndex(context->parser);
  int64_t tail = at >= 0 && at <= context->bytesRead ? context->bytesRead - at : 0;
  if (tail <= SERIALIZER_READ_SIZE)
    return SERIALIZER_READ_SIZE;
  /* Expat's buffer holds the tail and the piece within an int. */
  return tail < INT32_MAX / 2 ? static_cast<int32_t>(tail) : INT32_MAX / 2;
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
    int32_t n = buffer ? readPiece(context, static_cast<char *>(buffer), size, &ended) : -1;
    if (n < 0) {
      context->parseStatus = XML_STATUS_ERROR;
      return;
    }
    context->bytesRead += n;
    context->inputFinished = ended;
    context->parseStatus = XML_ParseBuffer(context->parser, n, ended ? XML_TRUE : XML_FALSE);
  }
  acceptEmptyDocument(context);
}

extern "C" int DeserializeItem(void *handle, ItemValue *key, ItemValue *value, int *done) {
  SerializerContext *context = static_cast<SerializerContext *>(handle);
  if (!context || !context->parser || !key || !value || !done)
    return 0;
  if (context->parseStatus == XML_STATUS_ERROR)
    return 0;
  BuildResult built = buildNextItem(context, key, value);
  if (built != BUILD_NOTHING)
    return built == BUILD_ITEM;
  if (context->format == FORMAT_ITEMS)
    removeLastRecord(context);
  if (context->inputFinished && context->parseStatus == XML_STATUS_OK) {
    *done = 1;
    return 1;
  }

  *done = 0;
  parseInput(context);
  if (context->parseStatus == XML_STATUS_ERROR)
    return 0;
  if (context->parseStatus == XML_STATUS_SUSPENDED && context->format != FORMAT_ITEMS)
    return 0;
  /* Suspended after an end tag, or the whole document has been read. */
  if (context->format != FORMAT_ITEMS && context->parseStatus == XML_STATUS_OK)
    context->documentCurrent = context->documentList;
  built = buildNextItem(context, key, value);
  if (built != BUILD_NOTHING)
    return built == BUILD_ITEM;
  *done = 1;
  return 1;
}
