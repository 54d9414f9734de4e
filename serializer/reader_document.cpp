/*
 * The document formats, reading: the parsed tree is walked one item per
 * call. Each record's emitState tells which part of its table comes next:
 * name, text, attributes, child elements, end.
 */
#include <stdint.h>
#include <string.h>

#include "host/services.h"
#include "serializer/context.h"

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

static void numberKey(ItemValue *key, double *cell, int32_t number) {
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

typedef int (*EmitStep)(SerializerContext *context, ElementNode *node, ItemValue *key,
                        ItemValue *value);

static int emitElement(SerializerContext *context, ElementNode *node, ItemValue *key,
                       ItemValue *value) {
  /* Names, like texts, are handed over in the host's encoding. */
  if (context->format == FORMAT_NAMED) {
    if (!textValue(context, key, node->name, strlen(node->name)))
      return 0;
    tableValue(value, 1);
    node->emitState = EMIT_TEXT;
  } else if (node->subStep == 0) {
    numberKey(key, &node->keyNumber, node->index);
    tableValue(value, 1);
    node->subStep = 1;
  } else {
    stringKey(key, "name");
    if (!textValue(context, value, node->name, strlen(node->name)))
      return 0;
    node->emitState = EMIT_TEXT;
  }
  return 1;
}

static int emitText(SerializerContext *context, ElementNode *node, ItemValue *key,
                    ItemValue *value) {
  size_t length = node->charData ? static_cast<size_t>(node->charLength) : 0;
  if (context->options.ignoreWhitespace && isWhitespace(node->charData, length))
    length = 0;
  stringKey(key, "text");
  if (!textValue(context, value, node->charData, length))
    return 0;
  node->emitState = EMIT_ATTRS;
  return 1;
}

static int emitAttrs(SerializerContext *, ElementNode *node, ItemValue *key, ItemValue *value) {
  stringKey(key, "attrs");
  tableValue(value, 1);
  node->subStep = 0;
  node->attributeCursor = node->attributeData;
  node->emitState = node->attributeCount ? EMIT_ATTRIBUTE : EMIT_ATTRS_END;
  return 1;
}

static int emitAttribute(SerializerContext *context, ElementNode *node, ItemValue *key,
                         ItemValue *value) {
  switch (node->subStep) {
  case 0:
    numberKey(key, &node->keyNumber, node->attributeIndex);
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
    numberKey(key, &node->keyNumber, node->attributeIndex);
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

static int emitAttrsEnd(SerializerContext *, ElementNode *node, ItemValue *, ItemValue *value) {
  tableValue(value, 0);
  node->emitState = EMIT_NODES;
  return 1;
}

static int emitNodes(SerializerContext *context, ElementNode *node, ItemValue *key,
                     ItemValue *value) {
  stringKey(key, "nodes");
  tableValue(value, 1);
  if (node->children)
    context->current = node->children;
  node->emitState = EMIT_NODES_END;
  return 1;
}

static int emitNodesEnd(SerializerContext *, ElementNode *node, ItemValue *, ItemValue *value) {
  tableValue(value, 0);
  node->emitState = EMIT_ELEMENT_END;
  return 1;
}

static int emitElementEnd(SerializerContext *context, ElementNode *node, ItemValue *,
                          ItemValue *value) {
  tableValue(value, 0);
  context->current = node->next ? node->next : node->parent;
  node->emitState = EMIT_DONE;
  return 1;
}

/* Indexed by emitState. */
static const EmitStep emitSteps[] = {
    emitElement, emitText,     emitAttrs,      emitAttribute, emitAttrsEnd,
    emitNodes,   emitNodesEnd, emitElementEnd, nullptr,
};

int buildDocumentItem(SerializerContext *context, ItemValue *key, ItemValue *value, int *failed) {
  ElementNode *node = context->current;
  if (!node || node->emitState < 0 || node->emitState >= EMIT_DONE)
    return 0;
  key->type = ITEM_STRING;
  if (emitSteps[node->emitState](context, node, key, value))
    return 1;
  *failed = 1;
  return 0;
}
