#include "plugin/libraries.h"

#include <expat.h>

#include "parser/commands.h"

static int currentLibrary;

/* Each library's tables come from its rows in plugin/commands.h: the
   command table ends with a record of nulls; the help table has one record
   per command and no end record of its own. */
#define COMMAND_RECORD(name, function, help) {name, parser::function},
#define HELP_RECORD(name, function, help) {help, 0},

static const CommandRecord xmlCommands[] = {XML_COMMANDS(COMMAND_RECORD){nullptr, nullptr}};
static const HelpRecord xmlHelp[] = {XML_COMMANDS(HELP_RECORD)};

static const CommandRecord parserCommands[] = {PARSER_COMMANDS(COMMAND_RECORD){nullptr, nullptr}};
static const HelpRecord parserHelp[] = {PARSER_COMMANDS(HELP_RECORD)};

#undef COMMAND_RECORD
#undef HELP_RECORD

/* Expat's content-model enumerations, for the "elementdecl" callback, and
   its parameter-entity parsing modes, for SetParamEntityParsing. */
#define EXPAT_CONSTANT(name) {#name, 0, name},
// clang-format off
static const ConstantRecord xmlConstants[] = {
    EXPAT_CONSTANT(XML_CTYPE_EMPTY) EXPAT_CONSTANT(XML_CTYPE_ANY) EXPAT_CONSTANT(XML_CTYPE_MIXED)
    EXPAT_CONSTANT(XML_CTYPE_NAME) EXPAT_CONSTANT(XML_CTYPE_CHOICE) EXPAT_CONSTANT(XML_CTYPE_SEQ)
    EXPAT_CONSTANT(XML_CQUANT_NONE) EXPAT_CONSTANT(XML_CQUANT_OPT) EXPAT_CONSTANT(XML_CQUANT_REP)
    EXPAT_CONSTANT(XML_CQUANT_PLUS)
    EXPAT_CONSTANT(XML_PARAM_ENTITY_PARSING_NEVER)
    EXPAT_CONSTANT(XML_PARAM_ENTITY_PARSING_UNLESS_STANDALONE)
    EXPAT_CONSTANT(XML_PARAM_ENTITY_PARSING_ALWAYS)
    {nullptr, 0, 0},
};
// clang-format on
#undef EXPAT_CONSTANT

/* What the host gets for each library, by index. */
struct Library {
  const char *baseName;
  const CommandRecord *commands;
  const HelpRecord *help;
  const ConstantRecord *constants;
};

static const Library libraries[] = {
    {"xml", xmlCommands, xmlHelp, xmlConstants},
    {"parser:", parserCommands, parserHelp, nullptr},
};

enum { LIBRARY_COUNT = sizeof libraries / sizeof libraries[0] };

static bool knownLibrary() {
  return currentLibrary >= 0 && currentLibrary < LIBRARY_COUNT;
}

extern "C" {

int GetLibraryCount(void) {
  return LIBRARY_COUNT;
}

void SetCurrentLibrary(int index) {
  currentLibrary = index;
}

const char *GetBaseTable(void) {
  /* Only libraries 0 and 1 have a base name; any other index gets none. */
  return knownLibrary() ? libraries[currentLibrary].baseName : nullptr;
}

const CommandRecord *GetCommands(void) {
  return knownLibrary() ? libraries[currentLibrary].commands : nullptr;
}

const HelpRecord *GetHelpStrings(void) {
  return knownLibrary() ? libraries[currentLibrary].help : nullptr;
}

const ConstantRecord *GetConstants(void) {
  return knownLibrary() ? libraries[currentLibrary].constants : nullptr;
}

int InitLibrary(lua_State *) {
  return 0;
}

void FreeLibrary(lua_State *) {}

} /* extern "C" */
