/*
 * Script-engine support that the binding, the Host and tests share.
 */
#ifndef VELLORAN_SCRIPT_H
#define VELLORAN_SCRIPT_H

#include "host/abi.h"

namespace velloran {

/* A new script state on the host's allocator (allocator.cpp); null when
   there is no memory for it. */
lua_State *newScriptState();

/* Makes a new state ready for the host services: reserves the registry
   entry in which the lua_pcall service keeps the error value of the last
   failed protected call (so that keeping it later never allocates). */
void prepareState(lua_State *L);

/* Pushes a command as a Lua function: the trampoline that calls it and
   turns a result of 1000 or more into the registered error it names. */
void pushCommand(lua_State *L, CommandFunc command);

} // namespace velloran

#endif
