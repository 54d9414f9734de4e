/*
 * The list of shared maps. The list holds one use of each map it lists and
 * every parser that reads with a map holds one more, so that dropping the
 * list never frees a map under a running parse. Names that iconv knows but
 * Expat cannot take are listed too (as refused), since finding that out
 * costs a full exploration; names that iconv does not know fail at once
 * and are not kept.
 */
#include <string.h>

#include "encodings/cache.h"
#include "encodings/encodings.h"
#include "host/services.h"

namespace encodings {

namespace {

const char *const MAP_TAG = "encodingmap";

CharMap *maps;
/* A map is being built: the builder calls nothing that could parse, but a
   second build started under the first would list the same name twice. */
bool building;

/* Letters, digits and ". _ - : +": what encoding names are made of. Others
   (such as iconv's "//" and "," suffixes) are refused. */
bool isNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         strchr("._-:+", c) != nullptr;
}

char upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

CharMap *findMap(const char *name) {
  for (CharMap *m = maps; m; m = m->next)
    if (host::stricmp(m->name, name) == 0)
      return m;
  return nullptr;
}

} // namespace

CharMap *acquireMap(const char *name, BuildResult *result) {
  *result = BUILD_REFUSED;
  size_t length = strlen(name);
  if (length == 0 || building)
    return nullptr;
  for (const char *c = name; *c; c++)
    if (!isNameChar(*c))
      return nullptr;
  if (CharMap *known = findMap(name)) {
    if (known->refused)
      return nullptr;
    known->users++;
    *result = BUILD_OK;
    return known;
  }

  auto *m = static_cast<CharMap *>(host::AllocMem(sizeof(CharMap) + length, 1, MAP_TAG));
  if (!m) {
    *result = BUILD_OUT_OF_MEMORY;
    return nullptr;
  }
  for (size_t i = 0; i <= length; i++)
    m->name[i] = upper(name[i]);
  building = true;
  *result = buildCharMap(m, m->name);
  building = false;
  if (*result == BUILD_OUT_OF_MEMORY || *result == BUILD_UNKNOWN) {
    host::FreeMem(m);
    return nullptr;
  }
  m->users = 1;
  m->next = maps;
  maps = m;
  if (*result != BUILD_OK) {
    m->refused = 1;
    return nullptr;
  }
  m->users++;
  return m;
}

void releaseMap(CharMap *charMap) {
  if (--charMap->users > 0)
    return;
  freePages(charMap);
  host::FreeMem(charMap);
}

void releaseMaps() {
  while (maps) {
    CharMap *m = maps;
    maps = m->next;
    releaseMap(m);
  }
}

} // namespace encodings
