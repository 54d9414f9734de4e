/*
 * The document formats, writing the tree of element records that
 * writer_document.cpp collected: one line per start and end tag, indented,
 * or the whole tree compact.
 */
#include <stdint.h>
#include <string.h>

#include "host/services.h"
#include "serializer/context.h"

static bool hasText(const SerializerContext *context, const WriteElement *node) {
  if (!node->text)
    return false;
  return !(context->options.ignoreWhitespace && isWhitespace(node->text, strlen(node->text)));
}

/* Makes workBuffer hold at least size bytes. */
static int reserveWork(TreeWriter *tree, uint64_t size) {
  if (size > INT32_MAX)
    return 0;
  if (tree->workBuffer && static_cast<uint64_t>(tree->workBufferSize) >= size)
    return 1;
  if (tree->workBuffer)
    host::FreeMem(tree->workBuffer);
  tree->workBufferSize = 0;
  tree->workBuffer = static_cast<char *>(host::AllocMem(static_cast<size_t>(size), 0, "workbuf"));
  if (!tree->workBuffer)
    return 0;
  tree->workBufferSize = static_cast<int32_t>(size);
  return 1;
}

/* A line of the tree: indented and broken unless the tree is written
   compact. */
static int writeTreeText(SerializerContext *context, const char *text, int indent, int lineBreak) {
  if (context->write.tree.compact)
    indent = lineBreak = 0;
  return writeText(context, text, indent, lineBreak);
}

/* True when an element of the tree holds both text and child elements. */
static bool hasMixedContent(const SerializerContext *context) {
  const WriteElement *node = context->write.tree.root;
  while (node) {
    if (node->children) {
      if (hasText(context, node))
        return true;
      node = node->children;
      continue;
    }
    while (node && !node->next)
      node = node->parent;
    node = node ? node->next : nullptr;
  }
  return false;
}

static uint64_t startLineSize(const WriteElement *node, bool text) {
  uint64_t size = strlen(node->name) + 4;
  if (text) {
    size_t escaped = escapedSize(node->text, ESCAPE_TEXT);
    if (escaped == SIZE_MAX)
      return UINT64_MAX;
    size += escaped;
  }
  for (const WriteAttribute *a = node->attributes; a; a = a->next) {
    size_t escaped = a->value ? escapedSize(a->value, ESCAPE_ATTRIBUTE) : 0;
    if (escaped == SIZE_MAX || size > INT32_MAX)
      return UINT64_MAX;
    size += strlen(a->name) + 16 + escaped;
  }
  return size + 1;
}

static char *append(char *to, const char *text) {
  size_t n = strlen(text);
  memcpy(to, text, n);
  return to + n;
}

static int writeEndLine(SerializerContext *context, const WriteElement *node, int indent) {
  char *line = context->write.tree.workBuffer;
  *append(append(append(line, "</"), node->name), ">") = 0;
  return writeTreeText(context, line, indent, 1);
}

static int writeStartLine(SerializerContext *context, const WriteElement *node) {
  if (!node->name)
    return 0;
  for (const WriteAttribute *a = node->attributes; a; a = a->next)
    if (!a->name)
      return 0;
  bool text = hasText(context, node);
  if (!reserveWork(&context->write.tree, startLineSize(node, text)))
    return 0;
  char *line = context->write.tree.workBuffer;
  char *p = append(line, "<");
  p = append(p, node->name);
  for (const WriteAttribute *a = node->attributes; a; a = a->next) {
    p = append(p, " ");
    p = append(p, a->name);
    p = append(p, "=\"");
    if (a->value)
      p = escapeText(p, a->value, ESCAPE_ATTRIBUTE);
    p = append(p, "\"");
  }
  if (!node->children && !text) {
    *append(p, "/>") = 0;
    return writeTreeText(context, line, 1, 1);
  }
  p = append(p, ">");
  if (text)
    p = escapeText(p, node->text, ESCAPE_TEXT);
  *p = 0;
  if (node->children)
    return writeTreeText(context, line, 1, 1);
  return writeTreeText(context, line, 1, 0) && writeEndLine(context, node, 0);
}

/* Writes the elements of list with all their descendants. The walk goes
   down through children and back up through parent, so it needs no stack
   however deep the tree is. */
static int writeElementTree(SerializerContext *context, WriteElement *list) {
  WriteElement *stop = list ? list->parent : nullptr;
  WriteElement *node = list;
  while (node) {
    if (!writeStartLine(context, node))
      return 0;
    if (node->children) {
      context->write.depth++;
      node = node->children;
      continue;
    }
    while (!node->next) {
      node = node->parent;
      if (node == stop)
        return 1;
      context->write.depth--;
      if (!writeEndLine(context, node, 1))
        return 0;
    }
    node = node->next;
  }
  return 1;
}

/* Indentation and line breaks between elements become part of the text of
   the element around them. A reader that ignores white-space text drops
   them, unless that element has text of its own: so the tree is written
   indented only when white space is ignored and no element mixes text and
   child elements, else compact, so that every text reads back as it was. */
int writeDocument(SerializerContext *context) {
  context->write.tree.compact = !context->options.ignoreWhitespace || hasMixedContent(context);
  return writeElementTree(context, context->write.tree.root) &&
         (!context->write.tree.compact || writeText(context, nullptr, 0, 1));
}
