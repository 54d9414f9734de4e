/*
 * The document formats, reading: the whole document is read into a tree of
 * records, which is then walked one item per call. Each record's emitState
 * tells which part of its table comes next: name, text, attributes, child
 * elements, end.
 */
#include <stdint.h>
#include <string.h>

#include "host/services.h"
#include "serializer/context.h"

/* ---- reading the elements ---- */

/* Copies the attributes as name, value, name, value. */
static void copyAttributes(char *to, const XML_Char **attributes) {
  for (int i = 0; attributes[i]; i++) {
    size_t n = strlen(attributes[i]) + 1;
    memcpy(to, attributes[i], n);
    to += n;
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

static void linkDocumentRecord(DocumentReader *document, DocumentRecord *node) {
  DocumentRecord *parent = document->current;
  if (parent) {
    if (parent->lastChild) {
      parent->lastChild->next = node;
      node->index = parent->lastChild->index + 1;
    } else {
      parent->children = node;
    }
    parent->lastChild = node;
  } else if (!document->list) {
    document->list = node;
  } else {
    DocumentRecord *last = document->list;
    while (last->next)
      last = last->next;
    last->next = node;
    node->index = last->index + 1;
  }
  node->parent = parent;
  document->current = node;
}

static void XMLCALL startDocumentElement(void *userData, const XML_Char *name,
                                         const XML_Char **attributes) {
  SerializerContext *context = liveContext(userData);
  if (!context)
    return;
  int32_t count;
  size_t size = recordSize(name, attributes, &count);
  DocumentRecord *node =
      size ? static_cast<DocumentRecord *>(host::AllocMem(size, 1, "scope")) : nullptr;
  if (!node) {
    keepNoMemory(context);
    failParse(context);
    return;
  }
  node->at = expatPosition(context->read.parser);
  size_t nameSize = strlen(name) + 1;
  memcpy(node->name(), name, nameSize);
  copyAttributes(node->name() + nameSize, attributes);
  node->attributeCount = count;
  if (!context->options.rawNames)
    mapName(node->name());
  linkDocumentRecord(&context->read.document, node);
}

static void XMLCALL endDocumentElement(void *userData, const XML_Char *) {
  SerializerContext *context = liveContext(userData);
  DocumentRecord **current = context ? &context->read.document.current : nullptr;
  if (current && *current)
    *current = (*current)->parent;
}

static void XMLCALL documentCharacterData(void *userData, const XML_Char *bytes, int length) {
  SerializerContext *context = liveContext(userData);
  DocumentRecord *node = context ? context->read.document.current : nullptr;
  if (node)
    appendCharData(context, &node->text, bytes, length);
}

static void registerDocumentHandlers(XML_Parser parser) {
  XML_SetElementHandler(parser, startDocumentElement, endDocumentElement);
  XML_SetCharacterDataHandler(parser, documentCharacterData);
}

/* ---- handing over ---- */

static char emptyText[1];

enum {
  EMIT_ELEMENT,
  EMIT_TEXT,
  EMIT_ATTRS,
  EMIT_ATTRIBUTE,
  EMIT_ATTRS_END,
  EMIT_NODES,
  EMIT_NODES_END,
  EMIT_ELEMENT_END,
  EMIT_DONE
};

static void stringKey(ItemValue *key, const char *name) {
  key->type = ITEM_STRING;
  key->data = const_cast<char *>(name);
  key->length = static_cast<int32_t>(strlen(name));
}

/* Hands number over as a number key, through cell. */
static void indexKey(ItemValue *key, double *cell, int32_t number) {
  *cell = number;
  key->type = ITEM_NUMBER;
  key->data = cell;
  key->length = sizeof(double);
}

static void tableValue(ItemValue *value, int begins) {
  value->type = ITEM_TABLE;
  value->data = nullptr;
  value->length = begins;
}

/* Hands over a text read from the document; false when it could not be
   converted. */
static bool textValue(SerializerContext *context, ItemValue *value, char *text, size_t length) {
  if (length == 0)
    text = emptyText;
  return handOverText(context, value, text, static_cast<int32_t>(length));
}

typedef int (*EmitStep)(SerializerContext *context, DocumentRecord *node, ItemValue *key,
                        ItemValue *value);

/* Names, like texts, are handed over in the host's encoding. */
static int emitNamedElement(SerializerContext *context, DocumentRecord *node, ItemValue *key,
                            ItemValue *value) {
  if (!textValue(context, key, node->name(), strlen(node->name())))
    return 0;
  tableValue(value, 1);
  node->emitState = EMIT_TEXT;
  return 1;
}

/* The index as the key, then the name as the table's "name". */
static int emitIndexedElement(SerializerContext *context, DocumentRecord *node, ItemValue *key,
                              ItemValue *value) {
  if (node->subStep == 0) {
    indexKey(key, &node->keyNumber, node->index);
    tableValue(value, 1);
    node->subStep = 1;
  } else {
    stringKey(key, "name");
    if (!textValue(context, value, node->name(), strlen(node->name())))
      return 0;
    node->emitState = EMIT_TEXT;
  }
  return 1;
}

static int emitText(SerializerContext *context, DocumentRecord *node, ItemValue *key,
                    ItemValue *value) {
  size_t length = node->text.bytes ? static_cast<size_t>(node->text.length) : 0;
  if (context->options.ignoreWhitespace && isWhitespace(node->text.bytes, length))
    length = 0;
  stringKey(key, "text");
  if (!textValue(context, value, node->text.bytes, length))
    return 0;
  node->emitState = EMIT_ATTRS;
  return 1;
}

static int emitAttrs(SerializerContext *, DocumentRecord *node, ItemValue *key, ItemValue *value) {
  stringKey(key, "attrs");
  tableValue(value, 1);
  node->subStep = 0;
  node->attributeCursor = node->attributeData();
  node->emitState = node->attributeCount ? EMIT_ATTRIBUTE : EMIT_ATTRS_END;
  return 1;
}

static int emitAttribute(SerializerContext *context, DocumentRecord *node, ItemValue *key,
                         ItemValue *value) {
  switch (node->subStep) {
  case 0:
    indexKey(key, &node->keyNumber, node->attributeIndex);
    tableValue(value, 1);
    break;
  case 1:
  case 2: {
    char *text = node->attributeCursor;
    size_t length = strlen(text);
    stringKey(key, node->subStep == 1 ? "key" : "value");
    if (!textValue(context, value, text, length))
      return 0;
    node->attributeCursor = text + length + 1;
    break;
  }
  default:
    indexKey(key, &node->keyNumber, node->attributeIndex);
    tableValue(value, 0);
    node->subStep = 0;
    node->attributeIndex++;
    if (node->attributeIndex >= node->attributeCount)
      node->emitState = EMIT_ATTRS_END;
    return 1;
  }
  node->subStep++;
  return 1;
}

static int emitAttrsEnd(SerializerContext *, DocumentRecord *node, ItemValue *, ItemValue *value) {
  tableValue(value, 0);
  node->emitState = EMIT_NODES;
  return 1;
}

static int emitNodes(SerializerContext *context, DocumentRecord *node, ItemValue *key,
                     ItemValue *value) {
  stringKey(key, "nodes");
  tableValue(value, 1);
  if (node->children)
    context->read.document.current = node->children;
  node->emitState = EMIT_NODES_END;
  return 1;
}

static int emitNodesEnd(SerializerContext *, DocumentRecord *node, ItemValue *, ItemValue *value) {
  tableValue(value, 0);
  node->emitState = EMIT_ELEMENT_END;
  return 1;
}

static int emitElementEnd(SerializerContext *context, DocumentRecord *node, ItemValue *,
                          ItemValue *value) {
  tableValue(value, 0);
  context->read.document.current = node->next ? node->next : node->parent;
  node->emitState = EMIT_DONE;
  return 1;
}

/* Indexed by emitState; they differ in how the element itself is handed
   over. */
static const EmitStep namedSteps[] = {
    emitNamedElement, emitText,     emitAttrs,      emitAttribute, emitAttrsEnd,
    emitNodes,        emitNodesEnd, emitElementEnd, nullptr,
};
static const EmitStep indexedSteps[] = {
    emitIndexedElement, emitText,     emitAttrs,      emitAttribute, emitAttrsEnd,
    emitNodes,          emitNodesEnd, emitElementEnd, nullptr,
};

static NextItem nextDocumentItem(SerializerContext *context, const EmitStep *steps, ItemValue *key,
                                 ItemValue *value) {
  DocumentRecord *node = context->read.document.current;
  if (!node || node->emitState < 0 || node->emitState >= EMIT_DONE)
    return NEXT_NOTHING;
  key->type = ITEM_STRING;
  if (steps[node->emitState](context, node, key, value))
    return NEXT_ITEM;
  /* Only a text that cannot be converted fails. */
  keepUnconverted(context, node->name(), &node->at);
  return NEXT_FAILED;
}

static NextItem nextNamedItem(SerializerContext *context, ItemValue *key, ItemValue *value) {
  return nextDocumentItem(context, namedSteps, key, value);
}

static NextItem nextIndexedItem(SerializerContext *context, ItemValue *key, ItemValue *value) {
  return nextDocumentItem(context, indexedSteps, key, value);
}

/* ---- the reader's routines ---- */

/* The document formats write an empty table as the declaration alone: an
   input that ends before any element has begun reads as that empty table.
   An input cut inside an element stays an error. Once the whole document
   has been read, its records are handed over from the first. */
static bool documentParsed(SerializerContext *context) {
  ReaderState *read = &context->read;
  if (read->parseStatus == XML_STATUS_ERROR && read->inputFinished && !read->document.list &&
      !read->handlerFailed && XML_GetErrorCode(read->parser) == XML_ERROR_NO_ELEMENTS)
    read->parseStatus = XML_STATUS_OK;
  /* Only the item format suspends the parse. */
  if (read->parseStatus == XML_STATUS_SUSPENDED)
    return false;
  if (read->parseStatus == XML_STATUS_OK)
    read->document.current = read->document.list;
  return true;
}

static void openDocumentElement(SerializerContext *context, const char **name,
                                const TextPosition **at) {
  DocumentRecord *current = context->read.document.current;
  if (current) {
    *name = current->name();
    *at = &current->at;
  }
}

static void releaseDocumentTree(SerializerContext *context) {
  freeDocumentTree(context->read.document.list);
}

const ReaderRoutines namedReader = {
    registerDocumentHandlers, nextNamedItem,       nullptr, documentParsed, nullptr,
    openDocumentElement,      releaseDocumentTree,
};
const ReaderRoutines indexedReader = {
    registerDocumentHandlers, nextIndexedItem,     nullptr, documentParsed, nullptr,
    openDocumentElement,      releaseDocumentTree,
};
