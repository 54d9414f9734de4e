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

/* How the format keys an element: by its index (FORMAT_INDEXED: the
   element's table has its "name") or by its name (FORMAT_NAMED). */
enum ElementKey { KEY_INDEX, KEY_NAME };

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
  WriteElement *open = context->write.tree.open;
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
    context->write.tree.open = open->parent;
    if (open->parent)
      return 1;
    context->write.depth = -1;
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
    context->write.tree.root = node;
  context->write.tree.open = node;
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

static int numberItem(SerializerContext *context, ElementKey keyed, const ItemValue *key,
                      const ItemValue *value) {
  int32_t index;
  WriteElement *open = context->write.tree.open;
  if (!indexOfKey(key, &index) || !isTableBegin(value))
    return 0;
  if (!open) {
    if (context->write.tree.root || keyed != KEY_INDEX)
      return 0;
    return newElement(context, nullptr, index) != nullptr;
  }
  if (open->writeState == WSTATE_ATTRS)
    return addAttribute(open, index);
  if (keyed != KEY_INDEX)
    return 0;
  WriteElement *node = newElement(context, open, index);
  if (!node)
    return 0;
  insertChild(open, node, true);
  return 1;
}

/* An element keyed by its name. */
static int namedElement(SerializerContext *context, const char *name) {
  WriteElement *open = context->write.tree.open;
  /* A second document element would make the stream no XML document. */
  if (!open && context->write.tree.root)
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

/* Where an entry's text goes. */
enum TextSlot { SLOT_NONE, SLOT_TEXT, SLOT_NAME, SLOT_ATTRIBUTE_NAME, SLOT_ATTRIBUTE_VALUE };

/* An entry is taken in one state of the open element: either a table that
   moves the element to another state, or a text (a name when isName) that
   goes into its slot. */
struct EntryRecord {
  const char *key;
  int32_t state;
  int32_t tableState;
  TextSlot slot;
  const char *tag;
  bool isName;
  bool stringOnly;
};

static const EntryRecord entryTable[] = {
    {"nodes", WSTATE_ELEMENT, WSTATE_NODES, SLOT_NONE, nullptr, false, false},
    {"attrs", WSTATE_ELEMENT, WSTATE_ATTRS, SLOT_NONE, nullptr, false, false},
    {"text", WSTATE_ELEMENT, 0, SLOT_TEXT, "text", false, false},
    {"name", WSTATE_ELEMENT, 0, SLOT_NAME, "text", true, true},
    {"key", WSTATE_ATTRIBUTE, 0, SLOT_ATTRIBUTE_NAME, "keyval", true, false},
    {"value", WSTATE_ATTRIBUTE, 0, SLOT_ATTRIBUTE_VALUE, "keyval", false, false},
    {nullptr, 0, 0, SLOT_NONE, nullptr, false, false},
};

static char **slotOf(WriteElement *open, TextSlot slot) {
  switch (slot) {
  case SLOT_TEXT:
    return &open->text;
  case SLOT_NAME:
    return &open->name;
  case SLOT_ATTRIBUTE_NAME:
    return &open->currentAttribute->name;
  default:
    return &open->currentAttribute->value;
  }
}

static int takeEntry(SerializerContext *context, WriteElement *open, const EntryRecord *entry,
                     const ItemValue *value) {
  if (open->writeState != entry->state)
    return 0;
  if (entry->slot == SLOT_NONE) {
    if (!isTableBegin(value))
      return 0;
    open->writeState = entry->tableState;
    return 1;
  }
  if (entry->stringOnly && value->type != ITEM_STRING)
    return 0;
  char *text = valueText(context, value, entry->tag, entry->isName);
  if (!text)
    return 0;
  replaceText(slotOf(open, entry->slot), text);
  return 1;
}

static int stringItem(SerializerContext *context, ElementKey keyed, const ItemValue *key,
                      const ItemValue *value) {
  const char *name = stringOf(key);
  if (!name)
    return 0;
  WriteElement *open = context->write.tree.open;
  /* Keyed by name, a table under the document or in "nodes" is an element
     whatever its name, "text" or "nodes" included. */
  bool element = keyed == KEY_NAME && isTableBegin(value);
  if (!element || (open && open->writeState != WSTATE_NODES)) {
    for (const EntryRecord *r = entryTable; r->key; r++)
      if (strcmp(r->key, name) == 0)
        return open ? takeEntry(context, open, r, value) : 0;
  }
  return element ? namedElement(context, name) : 0;
}

static int collectItem(SerializerContext *context, ElementKey keyed, const ItemValue *key,
                       const ItemValue *value) {
  if (value->type == ITEM_TABLE && value->length == 0)
    return endTable(context);
  if (key->type == ITEM_NUMBER)
    return numberItem(context, keyed, key, value);
  if (key->type == ITEM_STRING)
    return stringItem(context, keyed, key, value);
  return 0;
}

static int collectNamedItem(SerializerContext *context, const ItemValue *key,
                            const ItemValue *value) {
  return collectItem(context, KEY_NAME, key, value);
}

static int collectIndexedItem(SerializerContext *context, const ItemValue *key,
                              const ItemValue *value) {
  return collectItem(context, KEY_INDEX, key, value);
}

static void releaseTree(SerializerContext *context) {
  freeWriteTree(context->write.tree.root);
  if (context->write.tree.workBuffer)
    host::FreeMem(context->write.tree.workBuffer);
}

/* The document is written as a whole when its element ends. */
const WriterRoutines namedWriter = {writeDeclaration, collectNamedItem, nullptr, releaseTree};
const WriterRoutines indexedWriter = {writeDeclaration, collectIndexedItem, nullptr, releaseTree};
