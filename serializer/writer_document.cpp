/*
 * The document formats, writing: the items describe an XML document (name,
 * text, attributes, child elements per table); they are collected into a
 * tree of element records, written as a whole (writer_tree.cpp) when the
 * top-level table ends.
 */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "host/services.h"
#include "serializer/context.h"

/* writeState of the open element */
enum {
  WSTATE_ELEMENT = 0,   /* in the element's own table */
  WSTATE_NODES = 1,     /* in its "nodes" table */
  WSTATE_ATTRS = 2,     /* in its "attrs" table */
  WSTATE_ATTRIBUTE = 3, /* in one attribute entry */
};

static bool isTableBegin(const ItemValue *value) {
  return value->type == ITEM_TABLE && value->length != 0;
}

/* The zero-terminated text of a string item, or null when it holds a zero
   byte that would cut it. */
static const char *stringOf(const ItemValue *value) {
  if (value->type != ITEM_STRING || value->length < 0)
    return nullptr;
  if (!value->data)
    return value->length == 0 ? "" : nullptr;
  const char *text = static_cast<const char *>(value->data);
  if (strlen(text) != static_cast<size_t>(value->length))
    return nullptr;
  return text;
}

static char *copyText(const char *text, const char *tag) {
  size_t length = strlen(text);
  char *copy = static_cast<char *>(host::AllocMem(length + 1, 0, tag));
  if (copy)
    memcpy(copy, text, length + 1);
  return copy;
}

/* A string or number value as a new text: strings must be fit to stand in
   XML, names must be XML names. */
static char *valueText(SerializerContext *context, const ItemValue *value, const char *tag,
                       bool isName) {
  const char *text;
  if (value->type == ITEM_NUMBER && value->data) {
    double x;
    memcpy(&x, value->data, sizeof x);
    char *number = static_cast<char *>(host::AllocMem(NUMBER_TEXT_SIZE, 0, tag));
    if (!number)
      return nullptr;
    host::NumberToString(number, x);
    number[NUMBER_TEXT_SIZE - 1] = 0;
    if (isName && !isWritableName(context, number)) {
      host::FreeMem(number);
      return nullptr;
    }
    return number;
  }
  text = stringOf(value);
  if (!text)
    return nullptr;
  if (isName ? !isWritableName(context, text)
             : isUnfitForXml(text, strlen(text), context->sourceEncoding))
    return nullptr;
  return copyText(text, tag);
}

static void replaceText(char **slot, char *text) {
  if (*slot)
    host::FreeMem(*slot);
  *slot = text;
}

/* ---- table ends ---- */

static int compareNames(const void *a, const void *b) {
  return strcmp(*static_cast<char *const *>(a), *static_cast<char *const *>(b));
}

/* True when two attributes of the element have the same name, which no XML
   reader accepts. The names are sorted, so that many attributes cost no
   more than sorting them. */
static bool hasDuplicateAttribute(const WriteElement *open, bool *failed) {
  size_t count = 0;
  for (const WriteAttribute *a = open->attributes; a; a = a->next)
    count++;
  if (count < 2)
    return false;
  char **names = static_cast<char **>(host::AllocMem(count * sizeof(char *), 0, "attrnames"));
  if (!names) {
    *failed = true;
    return false;
  }
  size_t n = 0;
  for (const WriteAttribute *a = open->attributes; a; a = a->next)
    names[n++] = a->name;
  qsort(names, count, sizeof(char *), compareNames);
  bool duplicate = false;
  for (size_t i = 1; i < count && !duplicate; i++)
    duplicate = strcmp(names[i - 1], names[i]) == 0;
  host::FreeMem(names);
  return duplicate;
}

static int endTable(SerializerContext *context) {
  WriteElement *open = context->writeOpen;
  if (!open)
    return 0;
  switch (open->writeState) {
  case WSTATE_ATTRIBUTE:
    if (!open->currentAttribute || !open->currentAttribute->name)
      return 0;
    open->writeState = WSTATE_ATTRS;
    return 1;
  case WSTATE_ATTRS: {
    /* Refused here, at the end of the element's "attrs", long before the
       element is written. */
    bool failed = false;
    if (hasDuplicateAttribute(open, &failed) || failed)
      return 0;
    open->writeState = WSTATE_ELEMENT;
    return 1;
  }
  case WSTATE_NODES:
    open->writeState = WSTATE_ELEMENT;
    return 1;
  case WSTATE_ELEMENT:
    if (!open->name)
      return 0;
    context->writeOpen = open->parent;
    if (open->parent)
      return 1;
    context->depth = -1;
    return writeDocument(context);
  default:
    return 0;
  }
}

/* ---- new records ---- */

static WriteElement *newElement(SerializerContext *context, WriteElement *parent, int32_t index) {
  WriteElement *node = static_cast<WriteElement *>(host::AllocMem(sizeof(WriteElement), 1, "sc"));
  if (!node)
    return nullptr;
  node->index = index;
  node->parent = parent;
  if (!parent)
    context->writeRoot = node;
  context->writeOpen = node;
  return node;
}

/* Appends, or inserts before the first child with a greater index. */
static void insertChild(WriteElement *parent, WriteElement *node, bool byIndex) {
  if (!parent->children) {
    parent->children = parent->lastChild = node;
    return;
  }
  if (!byIndex || parent->lastChild->index <= node->index) {
    parent->lastChild->next = node;
    parent->lastChild = node;
    return;
  }
  WriteElement **link = &parent->children;
  while ((*link)->index <= node->index)
    link = &(*link)->next;
  node->next = *link;
  *link = node;
}

static int addAttribute(WriteElement *open, int32_t index) {
  WriteAttribute *entry =
      static_cast<WriteAttribute *>(host::AllocMem(sizeof(WriteAttribute), 1, "attr"));
  if (!entry)
    return 0;
  entry->index = index;
  WriteAttribute **link = &open->attributes;
  while (*link && (*link)->index <= index)
    link = &(*link)->next;
  entry->next = *link;
  *link = entry;
  open->currentAttribute = entry;
  open->writeState = WSTATE_ATTRIBUTE;
  return 1;
}

static int numberItem(SerializerContext *context, const ItemValue *key, const ItemValue *value) {
  int32_t index;
  WriteElement *open = context->writeOpen;
  if (!indexOfKey(key, &index) || !isTableBegin(value))
    return 0;
  if (!open) {
    if (context->writeRoot || context->format != FORMAT_INDEXED)
      return 0;
    return newElement(context, nullptr, index) != nullptr;
  }
  if (open->writeState == WSTATE_ATTRS)
    return addAttribute(open, index);
  if (context->format != FORMAT_INDEXED)
    return 0;
  WriteElement *node = newElement(context, open, index);
  if (!node)
    return 0;
  insertChild(open, node, true);
  return 1;
}

/* FORMAT_NAMED: an element keyed by its name. */
static int namedElement(SerializerContext *context, const char *name) {
  WriteElement *open = context->writeOpen;
  /* A second document element would make the stream no XML document. */
  if (!open && context->writeRoot)
    return 0;
  if (!isWritableName(context, name))
    return 0;
  char *copy = copyText(name, "scname");
  if (!copy)
    return 0;
  WriteElement *node = newElement(context, open, 0);
  if (!node) {
    host::FreeMem(copy);
    return 0;
  }
  node->name = copy;
  if (open)
    insertChild(open, node, false);
  return 1;
}

/* ---- the entries of an element's table ---- */

typedef int (*EntryTaker)(SerializerContext *context, WriteElement *open, const ItemValue *value);

static int takeNodes(SerializerContext *, WriteElement *open, const ItemValue *value) {
  if (open->writeState != WSTATE_ELEMENT || !isTableBegin(value))
    return 0;
  open->writeState = WSTATE_NODES;
  return 1;
}

static int takeAttrs(SerializerContext *, WriteElement *open, const ItemValue *value) {
  if (open->writeState != WSTATE_ELEMENT || !isTableBegin(value))
    return 0;
  open->writeState = WSTATE_ATTRS;
  return 1;
}

static int takeText(SerializerContext *context, WriteElement *open, const ItemValue *value) {
  if (open->writeState != WSTATE_ELEMENT)
    return 0;
  char *text = valueText(context, value, "text", false);
  if (!text)
    return 0;
  replaceText(&open->text, text);
  return 1;
}

static int takeName(SerializerContext *context, WriteElement *open, const ItemValue *value) {
  if (open->writeState != WSTATE_ELEMENT || value->type != ITEM_STRING)
    return 0;
  char *name = valueText(context, value, "text", true);
  if (!name)
    return 0;
  replaceText(&open->name, name);
  return 1;
}

static int takeKey(SerializerContext *context, WriteElement *open, const ItemValue *value) {
  if (open->writeState != WSTATE_ATTRIBUTE)
    return 0;
  char *name = valueText(context, value, "keyval", true);
  if (!name)
    return 0;
  replaceText(&open->currentAttribute->name, name);
  return 1;
}

static int takeValue(SerializerContext *context, WriteElement *open, const ItemValue *value) {
  if (open->writeState != WSTATE_ATTRIBUTE)
    return 0;
  char *text = valueText(context, value, "keyval", false);
  if (!text)
    return 0;
  replaceText(&open->currentAttribute->value, text);
  return 1;
}

struct EntryRecord {
  const char *key;
  EntryTaker take;
};

static const EntryRecord entryTable[] = {
    {"nodes", takeNodes}, {"attrs", takeAttrs}, {"text", takeText}, {"name", takeName},
    {"key", takeKey},     {"value", takeValue}, {nullptr, nullptr},
};

static int stringItem(SerializerContext *context, const ItemValue *key, const ItemValue *value) {
  const char *name = stringOf(key);
  if (!name)
    return 0;
  WriteElement *open = context->writeOpen;
  /* In FORMAT_NAMED, a table under the document or in "nodes" is an element
     whatever its name, "text" or "nodes" included. */
  bool element = context->format == FORMAT_NAMED && isTableBegin(value) &&
                 (!open || open->writeState == WSTATE_NODES);
  if (!element) {
    for (const EntryRecord *r = entryTable; r->key; r++)
      if (strcmp(r->key, name) == 0)
        return open ? r->take(context, open, value) : 0;
  }
  if (context->format != FORMAT_NAMED || !isTableBegin(value))
    return 0;
  return namedElement(context, name);
}

int serializeDocumentItem(SerializerContext *context, const ItemValue *key,
                          const ItemValue *value) {
  if (value->type == ITEM_TABLE && value->length == 0)
    return endTable(context);
  if (key->type == ITEM_NUMBER)
    return numberItem(context, key, value);
  if (key->type == ITEM_STRING)
    return stringItem(context, key, value);
  return 0;
}
