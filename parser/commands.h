/*
 * The script commands of the parser: xml.CreateParser and the methods of
 * parser objects, declared from their rows in plugin/commands.h. Each takes
 * the script state and returns the number of results it pushed, or the id
 * of a registered error for the host to raise.
 */
#ifndef VELLORAN_PARSER_COMMANDS_H
#define VELLORAN_PARSER_COMMANDS_H

#include "host/abi.h"
#include "plugin/commands.h"

namespace parser {

#define DECLARE_COMMAND(name, function, help) int function(lua_State *L);
XML_COMMANDS(DECLARE_COMMAND)
PARSER_COMMANDS(DECLARE_COMMAND)
#undef DECLARE_COMMAND

} // namespace parser

#endif
