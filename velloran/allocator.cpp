/*
 * The memory of the host's script state. Lua asks one function for every
 * block; here it goes to mimalloc, whose size-class pages make the many
 * small blocks of events (attribute tables, strings) cheaper than the C
 * library's malloc. Sanitizer builds keep the C library's allocator, so
 * that AddressSanitizer sees every block of the script engine.
 */
#include <stdio.h>
#include <stdlib.h>

#include "velloran/script.h"

#ifdef VELLORAN_MIMALLOC
#include <mimalloc.h>
#endif

namespace velloran {

namespace {

void *allocate(void *, void *block, size_t, size_t size) {
#ifdef VELLORAN_MIMALLOC
  if (size == 0) {
    mi_free(block);
    return nullptr;
  }
  return mi_realloc(block, size);
#else
  if (size == 0) {
    free(block);
    return nullptr;
  }
  return realloc(block, size);
#endif
}

/* As the standard state's: an error outside any protected call is printed
   before the engine ends the process. */
int panic(lua_State *L) {
  fprintf(stderr, "PANIC: unprotected error in call to Lua API (%s)\n", lua_tostring(L, -1));
  return 0;
}

} // namespace

lua_State *newScriptState() {
  lua_State *L = lua_newstate(allocate, nullptr);
  if (!L)
    return luaL_newstate(); /* engines that manage their own memory (LuaJIT on 64 bits) */
  lua_atpanic(L, panic);
  return L;
}

} // namespace velloran
