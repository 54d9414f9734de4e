/*
 * The item format, reading: each closed element, and each element whose
 * first child has ended, becomes one item; the records form one flat list
 * of the root, the open elements and at most one closed element.
 */
#include <stdint.h>
#include <string.h>

#include "host/services.h"
#include "serializer/context.h"

/* Handed over for an empty binary or function value. */
static char emptyValue[1];

static void setKey(SerializerContext *, ElementNode *node, ItemValue *key) {
  const char *dot = strchr(node->name, '.');
  if (dot) {
    node->keyNumber = static_cast<double>(host::strtol(dot + 1, nullptr, 10));
    key->type = ITEM_NUMBER;
    key->data = &node->keyNumber;
    key->length = sizeof(double);
  } else {
    key->type = ITEM_STRING;
    key->data = node->name;
    key->length = static_cast<int32_t>(strlen(node->name));
  }
}

/* The type of an element without a type attribute, from its text. */
static int32_t typeFromText(const ElementNode *node) {
  if (!node->charData)
    return ITEM_TABLE;
  if (node->charLength > 0 && looksNumeric(node->charData, static_cast<size_t>(node->charLength)))
    return ITEM_NUMBER;
  if (node->charLength <= 0 || isWhitespace(node->charData, static_cast<size_t>(node->charLength)))
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

static int decodeBase64(ElementNode *node, ItemValue *value, int *failed) {
  int32_t kept = node->charData ? compactBase64(node->charData, node->charLength) : 0;
  if (kept == 0) {
    value->data = emptyValue;
    value->length = 0;
    return 1;
  }
  int64_t capacity = static_cast<int64_t>(kept) * 3 / 4;
  char *decoded = static_cast<char *>(
      host::AllocMem(static_cast<size_t>(capacity > 0 ? capacity : 1), 0, "b64out"));
  if (!decoded) {
    *failed = 1;
    return 0;
  }
  int32_t length = static_cast<int32_t>(capacity);
  if (!host::Base64Decode(node->charData, kept, decoded, &length, nullptr) || length < 0 ||
      length > capacity) {
    host::FreeMem(decoded);
    *failed = 1;
    return 0;
  }
  host::FreeMem(node->charData);
  node->charData = decoded;
  node->charLength = length;
  node->charCapacity = static_cast<int32_t>(capacity > 0 ? capacity : 1);
  value->data = decoded;
  value->length = length;
  return 1;
}

static void parseNumber(ElementNode *node, ItemValue *value) {
  /* The text is not terminated; its buffer always keeps a byte for it. */
  if (node->charData && node->charLength > 0) {
    node->charData[node->charLength] = 0;
    host::sscanf(node->charData, "%lg", &node->valueNumber);
  }
  value->data = &node->valueNumber;
  value->length = sizeof(double);
}

int buildItemsItem(SerializerContext *context, ItemValue *key, ItemValue *value, int *failed) {
  ElementNode *node = context->pendingRecord;
  while (node && node->delivered)
    node = node->next;
  context->pendingRecord = node;
  if (!node)
    return 0;
  setKey(context, node, key);

  if (!node->closed) {
    /* A child has ended before this element: it is a table. */
    value->type = ITEM_TABLE;
    value->data = nullptr;
    value->length = 1;
    node->valueType = ITEM_TABLE;
    node->tableOpened = 1;
    node->delivered = 1;
    return 1;
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
      return 1;
    }
  } else if (node->isBinary || node->valueType == ITEM_FUNCTION) {
    if (!decodeBase64(node, value, failed))
      return 0;
  } else if (node->valueType == ITEM_STRING) {
    char *text = nullptr;
    if (node->charLength > 0) {
      /* Terminated as a courtesy to the host; the length is what counts. */
      text = node->charData;
      text[node->charLength] = 0;
    }
    if (!handOverText(context, value, text, node->charLength)) {
      *failed = 1;
      return 0;
    }
  } else if (node->valueType == ITEM_NUMBER) {
    parseNumber(node, value);
  }
  node->delivered = 1;
  return 1;
}
