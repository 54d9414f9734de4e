/*
 * The records the serializer keeps between calls, one type per role:
 *
 *   WriteElement    the document writer's tree, collected from the items
 *                   and written when the top-level table ends;
 *   ItemRecord      the item reader's flat list of the root, the open
 *                   elements and at most one closed element;
 *   DocumentRecord  the document reader's tree, handed over item by item.
 *
 * Who owns a string is part of its type: a WriteElement owns each of its
 * strings as a block of its own; a reader record is one block holding its
 * name (and attributes) right behind it, so those go with the record, and
 * only its character data is a block of its own. Each type has one function
 * that frees a whole list or tree of it without recursion.
 */
#ifndef VELLORAN_SERIALIZER_RECORDS_H
#define VELLORAN_SERIALIZER_RECORDS_H

#include <stdint.h>
#include <string.h>

/* The value types of the item format's type attribute, in the reader. */
#define VALUE_UNTYPED (-1)

/* Character data read for an element: a block of its own (tag "databuf"),
   not terminated, with a byte kept free for a terminator. */
struct CharData {
  char *bytes;
  int32_t length;
  int32_t capacity;
};

/* Where an element's start tag begins: line and column, both from 1. */
struct TextPosition {
  uint64_t line;
  uint64_t column;
};

/* ---- the document writer ---- */

/* One attribute; name and value are blocks of their own, each null until
   its item came. */
struct WriteAttribute {
  WriteAttribute *next;
  int32_t index;
  char *name;
  char *value;
};

/* One element; name and text are blocks of their own, each null until its
   item came. Children are kept in the order they are written. */
struct WriteElement {
  WriteElement *next;
  WriteElement *children;
  /* Last of children, so that appending does not walk the list. */
  WriteElement *lastChild;
  WriteElement *parent;
  int32_t index;
  /* Which table of this element the next items belong to. */
  int32_t writeState;
  char *name;
  char *text;
  /* Sorted by index. */
  WriteAttribute *attributes;
  WriteAttribute *currentAttribute;
};

/* Frees the elements of list with their descendants and attributes. */
void freeWriteTree(WriteElement *list);

/* ---- the item reader ---- */

struct ItemRecord {
  ItemRecord *next;
  /* The element this one is read in (also the record before it). */
  ItemRecord *parent;
  int32_t valueType;
  int32_t isBinary;
  int32_t closed;
  int32_t delivered;
  int32_t tableOpened;
  /* A child element has started, so the text is not needed. */
  int32_t hasChildren;
  CharData text;
  /* Where a number key or value handed over lives until the next call. */
  double keyNumber;
  double valueNumber;
  TextPosition at;

  /* The element name, zero-terminated, right behind the record. */
  char *name() {
    return reinterpret_cast<char *>(this + 1);
  }
};

/* Frees the records of a list. */
void freeItemRecords(ItemRecord *list);

/* ---- the document reader ---- */

struct DocumentRecord {
  DocumentRecord *next;
  DocumentRecord *children;
  /* Last of children, so that appending does not walk the list. */
  DocumentRecord *lastChild;
  DocumentRecord *parent;
  int32_t index;
  /* Which part of the element's table is handed over next, and the step
     within it. */
  int32_t emitState;
  int32_t subStep;
  int32_t attributeCount;
  int32_t attributeIndex;
  /* Next attribute text to hand over, inside this record's block. */
  char *attributeCursor;
  CharData text;
  /* Where a number key handed over lives until the next call. */
  double keyNumber;
  TextPosition at;

  /* The element name, zero-terminated, right behind the record; behind it
     the attributes, each name and value zero-terminated. */
  char *name() {
    return reinterpret_cast<char *>(this + 1);
  }
  char *attributeData() {
    return name() + strlen(name()) + 1;
  }
};

/* Frees the records of a list with their descendants. */
void freeDocumentTree(DocumentRecord *list);

#endif
