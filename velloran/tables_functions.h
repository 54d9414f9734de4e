/*
 * The host's table functions: script tables saved and loaded as XML. The
 * host walks the tables and handles streams, files and options (the
 * velloran/tables_* files); the plugin's serializer (serializer/) turns the
 * items the walk hands over into XML and back, through its entry points.
 *
 *   velloran.SerializeTable(t [, options])        -> XML string
 *   velloran.DeserializeTable(xml [, options])    -> table
 *   velloran.WriteTable(path, t [, options])
 *   velloran.ReadTable(path [, options])          -> table
 */
#ifndef VELLORAN_TABLES_FUNCTIONS_H
#define VELLORAN_TABLES_FUNCTIONS_H

extern "C" {
#include <lua.h>
}

namespace velloran {

/* Functions of the velloran table; the plugin is their first upvalue. */
int SerializeTable(lua_State *L);
int DeserializeTable(lua_State *L);
int WriteTable(lua_State *L);
int ReadTable(lua_State *L);

} // namespace velloran

#endif
