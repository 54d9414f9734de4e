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

/* Pushes a command as a Lua function: the trampoline that calls it and
   turns a result of 1000 or more into the registered error it names.
   While a script state closes, only commands pushed as whileClosing (the
   collector hooks) run; the others raise an error. */
void pushCommand(lua_State *L, CommandFunc command, bool whileClosing = false);

/* Marks the time in which a script state closes: the finalizers that its
   closing runs can make nothing that would need finalizing in turn. */
void setStateClosing(bool closing);
bool stateClosing();

} // namespace velloran

#endif
