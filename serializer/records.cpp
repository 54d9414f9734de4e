/*
 * Freeing the serializer's records: one function per record type.
 */
#include "serializer/records.h"

#include "host/services.h"

static void freeCharData(CharData *text) {
  if (text->bytes)
    host::FreeMem(text->bytes);
}

/* Frees the records of a tree. Instead of recursing once per level, each
   record's children are spliced into the list right behind it, so every
   record is reached by one flat walk. */
template <class Record> static void freeTree(Record *list, void (*freeRecord)(Record *)) {
  Record *node = list;
  while (node) {
    if (node->children) {
      Record *last = node->children;
      while (last->next)
        last = last->next;
      last->next = node->next;
      node->next = node->children;
      node->children = nullptr;
    }
    Record *next = node->next;
    freeRecord(node);
    node = next;
  }
}

static void freeWriteElement(WriteElement *node) {
  if (node->name)
    host::FreeMem(node->name);
  if (node->text)
    host::FreeMem(node->text);
  WriteAttribute *entry = node->attributes;
  while (entry) {
    WriteAttribute *next = entry->next;
    if (entry->name)
      host::FreeMem(entry->name);
    if (entry->value)
      host::FreeMem(entry->value);
    host::FreeMem(entry);
    entry = next;
  }
  host::FreeMem(node);
}

void freeWriteTree(WriteElement *list) {
  freeTree(list, freeWriteElement);
}

static void freeDocumentRecord(DocumentRecord *node) {
  freeCharData(&node->text);
  host::FreeMem(node);
}

void freeDocumentTree(DocumentRecord *list) {
  freeTree(list, freeDocumentRecord);
}

void freeItemRecords(ItemRecord *list) {
  while (list) {
    ItemRecord *next = list->next;
    freeCharData(&list->text);
    host::FreeMem(list);
    list = next;
  }
}
