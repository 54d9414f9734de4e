/*
 * The shared maps and the names they were asked by.
 *
 * A map is known by its content: every name that iconv reads the same way
 * (its aliases, and spellings that differ in letter case or "+", which
 * iconv ignores) shares one map. Each name still costs one build the first
 * time it is asked; the names last asked are remembered with their maps,
 * and names that iconv knows but Expat cannot take are remembered as
 * refused, since finding that out costs an exploration too. Names that
 * iconv does not know fail at once and are not kept.
 *
 * The list of maps holds one use of each map it lists and every parser
 * that reads with a map holds one more, so that dropping the list never
 * frees a map under a running parse. Maps that no parser uses are kept
 * for the next parse up to a bound, the least recently used freed first;
 * maps in use are not bounded here (each parser holds its own).
 */
#include <string.h>

#include "encodings/cache.h"
#include "encodings/encodings.h"
#include "host/services.h"

namespace encodings {

namespace {

/* Maps that no parser uses, kept at most. */
const int MAX_IDLE_MAPS = 16;
const size_t MAX_IDLE_BYTES = 4 << 20;
/* Names remembered at most, and their length (iconv's are far shorter). */
const int MAX_NAMES = 64;
const size_t MAX_NAME_LENGTH = 127;

struct KnownName {
  KnownName *next; /* most recently asked first */
  CharMap *map;    /* null: refused */
  char name[MAX_NAME_LENGTH + 1];
};

CharMap *maps;
KnownName *names;
/* A map is being built: the builder calls nothing that could parse, but a
   second build started under the first would list the same map twice. */
bool building;

/* Letters, digits and ". _ - : +": what encoding names are made of. Others
   (such as iconv's "//" and "," suffixes) are refused. */
bool isNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         strchr("._-:+", c) != nullptr;
}

/* The name as iconv looks it up: upper case, without "+". False for a name
   that is refused as it stands, or that is empty once "+" is gone (iconv
   would take the locale's encoding). */
bool lookupName(const char *name, char key[MAX_NAME_LENGTH + 1]) {
  size_t length = 0;
  for (const char *c = name; *c; c++) {
    if (!isNameChar(*c))
      return false;
    if (*c == '+')
      continue;
    if (length == MAX_NAME_LENGTH)
      return false;
    key[length++] = *c >= 'a' && *c <= 'z' ? static_cast<char>(*c - 'a' + 'A') : *c;
  }
  key[length] = 0;
  return length > 0;
}

uint64_t hashBytes(uint64_t hash, const void *data, size_t size) {
  const unsigned char *p = static_cast<const unsigned char *>(data);
  for (size_t i = 0; i < size; i++)
    hash = (hash ^ p[i]) * 0x100000001b3ull;
  return hash;
}

uint64_t contentHash(const CharMap *m) {
  uint64_t hash = hashBytes(0xcbf29ce484222325ull, m->map, sizeof m->map);
  hash = hashBytes(hash, m->leadPage, sizeof m->leadPage);
  return hashBytes(hash, m->pages, m->pageCount * sizeof(Page));
}

bool sameContent(const CharMap *a, const CharMap *b) {
  return a->hash == b->hash && a->multiByte == b->multiByte && a->pageCount == b->pageCount &&
         memcmp(a->map, b->map, sizeof a->map) == 0 &&
         memcmp(a->leadPage, b->leadPage, sizeof a->leadPage) == 0 &&
         memcmp(a->pages, b->pages, a->pageCount * sizeof(Page)) == 0;
}

size_t mapBytes(const CharMap *m) {
  return sizeof(CharMap) + m->pageCapacity * sizeof(Page);
}

void freeMap(CharMap *m) {
  freePages(m);
  host::FreeMem(m);
}

/* Moves a listed record to the front of its list. */
template <typename Record> void moveToFront(Record **list, Record *record) {
  for (Record **at = list; *at; at = &(*at)->next)
    if (*at == record) {
      *at = record->next;
      record->next = *list;
      *list = record;
      return;
    }
}

/* Forgets the names of a map (or, with null, the names after the first
   MAX_NAMES). */
void forgetNames(const CharMap *map) {
  int count = 0;
  for (KnownName **at = &names; *at;) {
    KnownName *n = *at;
    if (map ? n->map == map : ++count > MAX_NAMES) {
      *at = n->next;
      host::FreeMem(n);
    } else {
      at = &n->next;
    }
  }
}

/* Frees the least recently used maps that no parser uses beyond the bound. */
void trimIdleMaps() {
  int idleMaps = 0;
  size_t idleBytes = 0;
  for (CharMap **at = &maps; *at;) {
    CharMap *m = *at;
    if (m->users == 1 && (++idleMaps > MAX_IDLE_MAPS || (idleBytes += mapBytes(m)) > MAX_IDLE_BYTES)) {
      *at = m->next;
      forgetNames(m);
      freeMap(m);
    } else {
      at = &m->next;
    }
  }
}

KnownName *findName(const char *key) {
  for (KnownName *n = names; n; n = n->next)
    if (strcmp(n->name, key) == 0) {
      moveToFront(&names, n);
      return n;
    }
  return nullptr;
}

/* Remembers a name (when memory allows: else it is built again next time). */
void rememberName(const char *key, CharMap *map) {
  auto *n = static_cast<KnownName *>(host::AllocMem(sizeof(KnownName), 0, MAP_MEMORY_TAG));
  if (!n)
    return;
  strcpy(n->name, key);
  n->map = map;
  n->next = names;
  names = n;
  forgetNames(nullptr);
}

/* The listed map with the content of a newly built one, which is freed;
   or the new one, listed. */
CharMap *listMap(CharMap *built) {
  built->hash = contentHash(built);
  for (CharMap *m = maps; m; m = m->next)
    if (sameContent(m, built)) {
      freeMap(built);
      return m;
    }
  built->users = 1;
  built->next = maps;
  maps = built;
  return built;
}

} // namespace

CharMap *acquireMap(const char *name, BuildResult *result) {
  *result = BUILD_REFUSED;
  char key[MAX_NAME_LENGTH + 1];
  if (building || !lookupName(name, key))
    return nullptr;
  CharMap *m;
  if (KnownName *known = findName(key)) {
    m = known->map;
  } else {
    m = static_cast<CharMap *>(host::AllocMem(sizeof(CharMap), 1, MAP_MEMORY_TAG));
    if (!m) {
      *result = BUILD_OUT_OF_MEMORY;
      return nullptr;
    }
    building = true;
    *result = buildCharMap(m, key);
    building = false;
    if (*result != BUILD_OK) {
      host::FreeMem(m);
      if (*result == BUILD_REFUSED)
        rememberName(key, nullptr);
      return nullptr;
    }
    m = listMap(m);
    rememberName(key, m);
  }
  if (!m)
    return nullptr;
  m->users++;
  moveToFront(&maps, m);
  trimIdleMaps();
  *result = BUILD_OK;
  return m;
}

void releaseMap(CharMap *charMap) {
  if (--charMap->users > 0) {
    if (charMap->users == 1)
      trimIdleMaps();
    return;
  }
  freeMap(charMap);
}

void releaseMaps() {
  while (names) {
    KnownName *n = names;
    names = n->next;
    host::FreeMem(n);
  }
  while (maps) {
    CharMap *m = maps;
    maps = m->next;
    releaseMap(m);
  }
}

} // namespace encodings
