/*
 * The item format, reading: each closed element, and each element whose
 * first child has ended, becomes one item; the records form one flat list
 * of the root, the open elements and at most one closed element.
 */
#include <stdint.h>
#include <string.h>

#include "host/services.h"
#include "serializer/context.h"

/* ---- reading the elements ---- */

struct TypeRecord {
  const char *name;
  int32_t valueType;
  int32_t isBinary;
};

static const TypeRecord typeTable[] = {
    {"function", ITEM_FUNCTION, 0}, {"binary", ITEM_STRING, 1}, {"string", ITEM_STRING, 0},
    {"table", ITEM_TABLE, 0},       {"number", ITEM_NUMBER, 0}, {nullptr, 0, 0},
};

/* The item format's one attribute, "type"; anything else keeps its reason
   and gives false. */
static bool takeTypeAttributes(SerializerContext *context, ItemRecord *node,
                               const XML_Char **attributes) {
  char shownValue[SHOWN_NAME_SIZE], shownElement[SHOWN_NAME_SIZE];
  const char *element = shownName(node->name(), shownElement);
  for (int i = 0; attributes[i]; i += 2) {
    if (strcmp(attributes[i], "type") != 0) {
      keepReason(context, &node->at, "unknown attribute \"%s\" of element <%s>",
                 shownName(attributes[i], shownValue), element);
      return false;
    }
    const TypeRecord *t = typeTable;
    while (t->name && strcmp(t->name, attributes[i + 1]) != 0)
      t++;
    if (!t->name) {
      keepReason(context, &node->at, "unknown type \"%s\" of element <%s>",
                 shownName(attributes[i + 1], shownValue), element);
      return false;
    }
    node->valueType = t->valueType;
    node->isBinary = t->isBinary;
  }
  return true;
}

/* The record before a new one is the element it is read in. The text of
   an element with children is never handed over (it is a table), nor is
   the root's: it need not be kept. */
static void linkItemRecord(ItemReader *items, ItemRecord *node) {
  ItemRecord *parent = items->last;
  if (parent) {
    if (parent->text.bytes) {
      host::FreeMem(parent->text.bytes);
      parent->text = CharData{};
    }
    parent->hasChildren = 1;
    parent->next = node;
  } else {
    items->list = node;
  }
  node->parent = parent;
  items->last = node;
  if (node != items->list && !items->pending)
    items->pending = node;
}

/* A record for the element, with its type; null (the parse stopped) when
   it is refused. */
static ItemRecord *newItemRecord(SerializerContext *context, const XML_Char *name,
                                 const XML_Char **attributes) {
  TextPosition at = expatPosition(context->read.parser);
  const char *rootName = context->options.rootName;
  if (!context->read.items.list && strcmp(name, rootName) != 0) {
    char shownRoot[SHOWN_NAME_SIZE], shownElement[SHOWN_NAME_SIZE];
    keepReason(context, &at, "the document element must be <%s>, not <%s>",
               shownName(rootName, shownRoot), shownName(name, shownElement));
    failParse(context);
    return nullptr;
  }
  size_t nameSize = strlen(name) + 1;
  ItemRecord *node =
      static_cast<ItemRecord *>(host::AllocMem(sizeof(ItemRecord) + nameSize, 1, "scope"));
  if (!node) {
    keepNoMemory(context);
    failParse(context);
    return nullptr;
  }
  node->valueType = VALUE_UNTYPED;
  node->at = at;
  memcpy(node->name(), name, nameSize);
  if (!takeTypeAttributes(context, node, attributes)) {
    host::FreeMem(node);
    failParse(context);
    return nullptr;
  }
  return node;
}

static void XMLCALL startItemElement(void *userData, const XML_Char *name,
                                     const XML_Char **attributes) {
  SerializerContext *context = liveContext(userData);
  ItemRecord *node = context ? newItemRecord(context, name, attributes) : nullptr;
  if (!node)
    return;
  if (!context->options.rawNames)
    mapName(node->name());
  linkItemRecord(&context->read.items, node);
}

/* An element has ended: Expat is suspended, so that its item is handed
   over before anything else is read. */
static void XMLCALL endItemElement(void *userData, const XML_Char *) {
  SerializerContext *context = liveContext(userData);
  ItemReader *items = context ? &context->read.items : nullptr;
  if (!items || !items->last)
    return;
  items->last->closed = 1;
  items->last->delivered = 0;
  if (items->last != items->list && !items->pending)
    items->pending = items->last;
  XML_StopParser(context->read.parser, XML_TRUE);
}

/* Only the text of an element without children can be handed over. */
static void XMLCALL itemCharacterData(void *userData, const XML_Char *bytes, int length) {
  SerializerContext *context = liveContext(userData);
  ItemRecord *node = context ? context->read.items.last : nullptr;
  if (node && node != context->read.items.list && !node->hasChildren)
    appendCharData(context, &node->text, bytes, length);
}

static void registerItemHandlers(XML_Parser parser) {
  XML_SetElementHandler(parser, startItemElement, endItemElement);
  XML_SetCharacterDataHandler(parser, itemCharacterData);
}

/* ---- handing over ---- */

/* Handed over for an empty binary or function value. */
static char emptyValue[1];

static void setKey(SerializerContext *, ItemRecord *node, ItemValue *key) {
  const char *dot = strchr(node->name(), '.');
  if (dot) {
    node->keyNumber = static_cast<double>(host::strtol(dot + 1, nullptr, 10));
    key->type = ITEM_NUMBER;
    key->data = &node->keyNumber;
    key->length = sizeof(double);
  } else {
    key->type = ITEM_STRING;
    key->data = node->name();
    key->length = static_cast<int32_t>(strlen(node->name()));
  }
}

/* The type of an element without a type attribute, from its text. */
static int32_t typeFromText(const ItemRecord *node) {
  if (!node->text.bytes)
    return ITEM_TABLE;
  if (node->text.length > 0 &&
      looksNumeric(node->text.bytes, static_cast<size_t>(node->text.length)))
    return ITEM_NUMBER;
  if (node->text.length <= 0 ||
      isWhitespace(node->text.bytes, static_cast<size_t>(node->text.length)))
    return ITEM_TABLE;
  return ITEM_STRING;
}

/* Removes TAB, LF, CR and space; returns the bytes kept. */
static int32_t compactBase64(char *data, int32_t length) {
  int32_t kept = 0;
  for (int32_t i = 0; i < length; i++)
    if (data[i] != '\t' && data[i] != '\n' && data[i] != '\r' && data[i] != ' ')
      data[kept++] = data[i];
  return kept;
}

static bool decodeBase64(SerializerContext *context, ItemRecord *node, ItemValue *value) {
  int32_t kept = node->text.bytes ? compactBase64(node->text.bytes, node->text.length) : 0;
  if (kept == 0) {
    value->data = emptyValue;
    value->length = 0;
    return true;
  }
  int64_t capacity = static_cast<int64_t>(kept) * 3 / 4;
  char *decoded = static_cast<char *>(
      host::AllocMem(static_cast<size_t>(capacity > 0 ? capacity : 1), 0, "b64out"));
  if (!decoded) {
    keepNoMemory(context);
    return false;
  }
  int32_t length = static_cast<int32_t>(capacity);
  if (!host::Base64Decode(node->text.bytes, kept, decoded, &length, nullptr) || length < 0 ||
      length > capacity) {
    host::FreeMem(decoded);
    char shown[SHOWN_NAME_SIZE];
    keepReason(context, &node->at, "base64 text that does not decode in <%s>",
               shownName(node->name(), shown));
    return false;
  }
  host::FreeMem(node->text.bytes);
  node->text.bytes = decoded;
  node->text.length = length;
  node->text.capacity = static_cast<int32_t>(capacity > 0 ? capacity : 1);
  value->data = decoded;
  value->length = length;
  return true;
}

/* A number, read back whole: white space may stand around it, nothing
   else. No text (or white space only) gives 0. */
static bool parseNumber(SerializerContext *context, ItemRecord *node, ItemValue *value) {
  value->data = &node->valueNumber;
  value->length = sizeof(double);
  size_t length = node->text.bytes ? static_cast<size_t>(node->text.length) : 0;
  if (isWhitespace(node->text.bytes, length))
    return true;
  /* The text is not terminated; its buffer always keeps a byte for it. */
  node->text.bytes[length] = 0;
  int used = 0;
  if (host::sscanf(node->text.bytes, "%lg%n", &node->valueNumber, &used) == 1 && used > 0 &&
      isWhitespace(node->text.bytes + used, length - static_cast<size_t>(used)))
    return true;
  char shown[SHOWN_NAME_SIZE];
  keepReason(context, &node->at, "a number that does not read back in <%s>",
             shownName(node->name(), shown));
  return false;
}

static NextItem nextItem(SerializerContext *context, ItemValue *key, ItemValue *value) {
  ItemReader *items = &context->read.items;
  ItemRecord *node = items->pending;
  while (node && node->delivered)
    node = node->next;
  items->pending = node;
  if (!node)
    return NEXT_NOTHING;
  setKey(context, node, key);

  if (!node->closed) {
    /* A child has ended before this element: it is a table. */
    value->type = ITEM_TABLE;
    value->data = nullptr;
    value->length = 1;
    node->valueType = ITEM_TABLE;
    node->tableOpened = 1;
    node->delivered = 1;
    return NEXT_ITEM;
  }
  if (node->valueType == VALUE_UNTYPED)
    node->valueType = typeFromText(node);
  value->type = node->valueType;

  if (node->valueType == ITEM_TABLE) {
    /* An element with children is a table whatever its type attribute. */
    value->data = nullptr;
    value->length = node->tableOpened ? 0 : 1;
    if (!node->tableOpened) {
      node->tableOpened = 1;
      return NEXT_ITEM;
    }
  } else if (node->isBinary || node->valueType == ITEM_FUNCTION) {
    if (!decodeBase64(context, node, value))
      return NEXT_FAILED;
  } else if (node->valueType == ITEM_STRING) {
    char *text = nullptr;
    if (node->text.length > 0) {
      /* Terminated as a courtesy to the host; the length is what counts. */
      text = node->text.bytes;
      text[node->text.length] = 0;
    }
    if (!handOverText(context, value, text, node->text.length)) {
      keepUnconverted(context, node->name(), &node->at);
      return NEXT_FAILED;
    }
  } else if (node->valueType == ITEM_NUMBER) {
    if (!parseNumber(context, node, value))
      return NEXT_FAILED;
  }
  node->delivered = 1;
  return NEXT_ITEM;
}

/* The last record has been handed over; its parent is the element being
   read again. */
static void removeLastRecord(SerializerContext *context) {
  ItemReader *items = &context->read.items;
  ItemRecord *last = items->last;
  if (!last)
    return;
  ItemRecord *previous = last->parent;
  if (previous)
    previous->next = nullptr;
  else
    items->list = nullptr;
  items->last = previous;
  if (items->pending == last)
    items->pending = nullptr;
  last->next = nullptr;
  freeItemRecords(last);
}

/* After the root element only comments, processing instructions and white
   space may follow: once the root has ended (and is the last record), what
   does is read to the end. */
static bool readToEnd(SerializerContext *context) {
  ItemReader *items = &context->read.items;
  if (!items->list || items->list != items->last || !items->list->closed)
    return true;
  parseInput(context);
  return context->read.parseStatus != XML_STATUS_ERROR;
}

static void openItemElement(SerializerContext *context, const char **name,
                            const TextPosition **at) {
  ItemRecord *last = context->read.items.last;
  if (last && !last->closed) {
    *name = last->name();
    *at = &last->at;
  }
}

static void releaseItemRecords(SerializerContext *context) {
  freeItemRecords(context->read.items.list);
}

const ReaderRoutines itemsReader = {
    registerItemHandlers, nextItem,           removeLastRecord,  nullptr,
    readToEnd,            openItemElement,    releaseItemRecords,
};
