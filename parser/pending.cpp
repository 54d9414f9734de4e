// Placeholder commands until the parser objects land: every command fails.
#include "parser/commands.h"
#include "plugin/errors.h"

namespace parser {
int CreateParser(lua_State *) { return errorIds[ERR_PARSER_CREATE]; }
int Free(lua_State *) { return errorIds[ERR_PARSER_EXPECTED]; }
int Parse(lua_State *) { return errorIds[ERR_PARSER_EXPECTED]; }
int GetPosition(lua_State *) { return errorIds[ERR_PARSER_EXPECTED]; }
int SetEncoding(lua_State *) { return errorIds[ERR_PARSER_EXPECTED]; }
int GetCallbacks(lua_State *) { return errorIds[ERR_PARSER_EXPECTED]; }
int GetBase(lua_State *) { return errorIds[ERR_PARSER_EXPECTED]; }
int SetBase(lua_State *) { return errorIds[ERR_PARSER_EXPECTED]; }
int Stop(lua_State *) { return errorIds[ERR_PARSER_EXPECTED]; }
int GetError(lua_State *) { return errorIds[ERR_PARSER_EXPECTED]; }
int Collect(lua_State *) { return 0; }
} // namespace parser
