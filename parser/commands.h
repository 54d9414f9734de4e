/*
 * The script commands of the parser: xml.CreateParser and the methods of
 * parser objects. Each takes the script state and returns the number of
 * results it pushed, or the id of a registered error for the host to raise.
 */
#ifndef VELLORAN_PARSER_COMMANDS_H
#define VELLORAN_PARSER_COMMANDS_H

#include "host/abi.h"

namespace parser {

int CreateParser(lua_State *L);

int Free(lua_State *L);
int Parse(lua_State *L);
int GetPosition(lua_State *L);
int SetEncoding(lua_State *L);
int GetCallbacks(lua_State *L);
int GetBase(lua_State *L);
int SetBase(lua_State *L);
int Stop(lua_State *L);
int GetError(lua_State *L);
int SetParamEntityParsing(lua_State *L);
int UseForeignDTD(lua_State *L);
int GetInputContext(lua_State *L);
int Collect(lua_State *L); /* the collector hook __gc */

} // namespace parser

#endif
