/*
 * The host's table serialization: script tables saved and loaded as XML
 * through the plugin's serializer entry points.
 *
 *   velloran.SerializeTable(t [, options])        -> XML string
 *   velloran.DeserializeTable(xml [, options])    -> table
 *   velloran.WriteTable(path, t [, options])
 *   velloran.ReadTable(path [, options])          -> table
 */
#ifndef VELLORAN_TABLE_SERIALIZER_H
#define VELLORAN_TABLE_SERIALIZER_H

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
