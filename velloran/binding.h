/*
 * Binding a loaded plugin into a script state: each library becomes a global
 * table (library commands and constants) or a named metatable (methods, with
 * __index pointing to itself and __gc the collector hook), and the host's own
 * `velloran` table is added.
 */
#ifndef VELLORAN_BINDING_H
#define VELLORAN_BINDING_H

#include "velloran/loader.h"

namespace velloran {

/* lua_CFunction for lua_cpcall: binds the plugin passed as light userdata.
   Raises on failure (a library whose InitLibrary fails, no memory). */
int bindPlugin(lua_State *L);

/* Binds every library of the plugin: method libraries as named metatables;
   the commands and constants of the others go into the table at the
   (absolute) index `into`, or into a global table per library when `into`
   is 0. Raises on failure. */
void bindLibraries(lua_State *L, const Plugin *plugin, int into);

/* The functions of the host's `velloran` table, ended by a null name; each
   expects the plugin as its first upvalue. */
const luaL_Reg *hostFunctions();

/* Calls FreeLibrary for every library of the plugin. */
void unbindPlugin(lua_State *L, const Plugin *plugin);

/* Inside a function of the `velloran` table: the plugin the state is bound to. */
const Plugin *boundPlugin(lua_State *L);

} // namespace velloran

#endif
