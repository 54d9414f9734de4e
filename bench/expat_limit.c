/*
 * The limit for the event workloads: Expat itself with empty C handlers,
 * or with none, over the same document, fed as the script bindings feed it.
 *
 *   expat_limit FILE three|all|none [whole|chunked]
 *
 * three: start element, end element and character data handlers;
 * all:   every handler that a script binding can set;
 * none:  no handlers at all.
 * whole: the file read first, then one XML_Parse call (default); chunked:
 * the file read and parsed in 64 KB pieces (the reading is then timed).
 * Prints "parse=SECONDS" (processor time of the parse, with the reading of
 * the pieces when chunked).
 */
#include <expat.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "parser/positions.h"

static void XMLCALL onStart(void *data, const XML_Char *name, const XML_Char **atts) {
  (void)data, (void)name, (void)atts;
}
static void XMLCALL onEnd(void *data, const XML_Char *name) {
  (void)data, (void)name;
}
static void XMLCALL onText(void *data, const XML_Char *s, int len) {
  (void)data, (void)s, (void)len;
}
static void XMLCALL onPi(void *data, const XML_Char *target, const XML_Char *pi) {
  (void)data, (void)target, (void)pi;
}
static void XMLCALL onComment(void *data, const XML_Char *s) {
  (void)data, (void)s;
}
static void XMLCALL onMark(void *data) {
  (void)data;
}
static void XMLCALL onNsStart(void *data, const XML_Char *prefix, const XML_Char *uri) {
  (void)data, (void)prefix, (void)uri;
}
static void XMLCALL onXmlDecl(void *data, const XML_Char *v, const XML_Char *e, int s) {
  (void)data, (void)v, (void)e, (void)s;
}
static void XMLCALL onSkipped(void *data, const XML_Char *name, int pe) {
  (void)data, (void)name, (void)pe;
}
static void XMLCALL onDoctype(void *data, const XML_Char *name, const XML_Char *sys,
                              const XML_Char *pub, int internal) {
  (void)data, (void)name, (void)sys, (void)pub, (void)internal;
}
static void XMLCALL onNotation(void *data, const XML_Char *name, const XML_Char *base,
                               const XML_Char *sys, const XML_Char *pub) {
  (void)data, (void)name, (void)base, (void)sys, (void)pub;
}
static void XMLCALL onUnparsed(void *data, const XML_Char *name, const XML_Char *base,
                               const XML_Char *sys, const XML_Char *pub,
                               const XML_Char *notation) {
  (void)data, (void)name, (void)base, (void)sys, (void)pub, (void)notation;
}
static void XMLCALL onEntity(void *data, const XML_Char *name, int pe, const XML_Char *value,
                             int len, const XML_Char *base, const XML_Char *sys,
                             const XML_Char *pub, const XML_Char *notation) {
  (void)data, (void)name, (void)pe, (void)value, (void)len, (void)base, (void)sys, (void)pub,
      (void)notation;
}
static void XMLCALL onAttlist(void *data, const XML_Char *el, const XML_Char *att,
                              const XML_Char *type, const XML_Char *dflt, int required) {
  (void)data, (void)el, (void)att, (void)type, (void)dflt, (void)required;
}
static void XMLCALL onElementDecl(void *data, const XML_Char *name, XML_Content *model) {
  (void)name;
  XML_FreeContentModel((XML_Parser)data, model);
}
static int XMLCALL onNotStandalone(void *data) {
  (void)data;
  return 1;
}
static int XMLCALL onExternal(XML_Parser p, const XML_Char *ctx, const XML_Char *base,
                              const XML_Char *sys, const XML_Char *pub) {
  (void)p, (void)ctx, (void)base, (void)sys, (void)pub;
  return 1;
}

static void setAll(XML_Parser p) {
  XML_UseParserAsHandlerArg(p);
  XML_SetElementHandler(p, onStart, onEnd);
  XML_SetCharacterDataHandler(p, onText);
  XML_SetProcessingInstructionHandler(p, onPi);
  XML_SetCommentHandler(p, onComment);
  XML_SetCdataSectionHandler(p, onMark, onMark);
  XML_SetDefaultHandlerExpand(p, onText);
  XML_SetNamespaceDeclHandler(p, onNsStart, onEnd);
  XML_SetXmlDeclHandler(p, onXmlDecl);
  XML_SetSkippedEntityHandler(p, onSkipped);
  XML_SetStartDoctypeDeclHandler(p, onDoctype);
  XML_SetEndDoctypeDeclHandler(p, onMark);
  XML_SetNotationDeclHandler(p, onNotation);
  XML_SetUnparsedEntityDeclHandler(p, onUnparsed);
  XML_SetEntityDeclHandler(p, onEntity);
  XML_SetAttlistDeclHandler(p, onAttlist);
  XML_SetElementDeclHandler(p, onElementDecl);
  XML_SetNotStandaloneHandler(p, onNotStandalone);
  XML_SetExternalEntityRefHandler(p, onExternal);
}

static char *readFile(const char *path, long *length) {
  FILE *f = fopen(path, "rb");
  if (!f)
    return NULL;
  char *text = NULL;
  if (fseek(f, 0, SEEK_END) == 0 && (*length = ftell(f)) >= 0 && fseek(f, 0, SEEK_SET) == 0) {
    text = malloc((size_t)*length + 1);
    if (text && fread(text, 1, (size_t)*length, f) != (size_t)*length) {
      free(text);
      text = NULL;
    }
  }
  fclose(f);
  return text;
}

/* Reads and parses the file in 64 KB pieces; 1 when Expat accepted it. */
static int parseChunked(XML_Parser p, FILE *f) {
  static char piece[65536];
  size_t n;
  while ((n = fread(piece, 1, sizeof piece, f)) > 0)
    if (XML_Parse(p, piece, (int)n, XML_FALSE) != XML_STATUS_OK)
      return 0;
  return XML_Parse(p, NULL, 0, XML_TRUE) == XML_STATUS_OK;
}

int main(int argc, char **argv) {
  if (argc != 3 && argc != 4) {
    fprintf(stderr, "usage: expat_limit FILE three|all|none [whole|chunked]\n");
    return 2;
  }
  int chunked = argc == 4 && strcmp(argv[3], "chunked") == 0;
  if (argc == 4 && !chunked && strcmp(argv[3], "whole") != 0) {
    fprintf(stderr, "expat_limit: unknown feed %s\n", argv[3]);
    return 2;
  }
  long length = 0;
  FILE *f = chunked ? fopen(argv[1], "rb") : NULL;
  char *text = chunked ? NULL : readFile(argv[1], &length);
  if (chunked ? !f : !text || length > 0x7fffffffL) {
    fprintf(stderr, "expat_limit: cannot read %s\n", argv[1]);
    return 1;
  }
  const char *mode = argv[2];
  clock_t start = clock();
  XML_Parser p = XML_ParserCreate(NULL);
  if (strcmp(mode, "three") == 0) {
    XML_SetElementHandler(p, onStart, onEnd);
    XML_SetCharacterDataHandler(p, onText);
  } else if (strcmp(mode, "all") == 0) {
    setAll(p);
  } else if (strcmp(mode, "none") != 0) {
    fprintf(stderr, "expat_limit: unknown mode %s\n", mode);
    return 2;
  }
  int ok = chunked ? parseChunked(p, f)
                   : XML_Parse(p, text, (int)length, XML_TRUE) == XML_STATUS_OK;
  clock_t end = clock();
  if (!ok) {
    fprintf(stderr, "expat_limit: %s at line %llu\n", XML_ErrorString(XML_GetErrorCode(p)),
            (unsigned long long)expatLineNumber(p));
    return 1;
  }
  XML_ParserFree(p);
  free(text);
  if (f)
    fclose(f);
  printf("parse=%.6f\n", (double)(end - start) / CLOCKS_PER_SEC);
  return 0;
}
