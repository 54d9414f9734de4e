#include "plugin/libraries.h"

#include "parser/commands.h"

enum { LIBRARY_XML, LIBRARY_PARSER, LIBRARY_COUNT };

static int currentLibrary;

static const char *const baseNames[LIBRARY_COUNT] = {"xml", "parser:"};

static const CommandRecord xmlCommands[] = {
    {"CreateParser", parser::CreateParser},
    {nullptr, nullptr},
};

static const HelpRecord xmlHelp[] = {
    {"p=xml.CreateParser(t[,sep$,merge]) -- create new parser", 0},
};

static const CommandRecord parserCommands[] = {
    {"Free", parser::Free},
    {"Parse", parser::Parse},
    {"GetPosition", parser::GetPosition},
    {"SetEncoding", parser::SetEncoding},
    {"GetCallbacks", parser::GetCallbacks},
    {"GetBase", parser::GetBase},
    {"SetBase", parser::SetBase},
    {"Stop", parser::Stop},
    {"GetError", parser::GetError},
    {"__gc", parser::Collect},
    {nullptr, nullptr},
};

static const HelpRecord parserHelp[] = {
    {"parser:Free() -- free parser", 0},
    {"ok=parser:Parse(s$) -- parse XML code", 0},
    {"line,col,pos=parser:GetPosition() -- get current parsing position", 0},
    {"parser:SetEncoding(e$) -- set parser encoding", 0},
    {"cb=parser:GetCallbacks() -- get parser callbacks", 0},
    {"s$=parser:GetBase() -- get base for relative URIs", 0},
    {"parser:SetBase(s$) -- set base for relative URIs", 0},
    {"ok=parser:Stop() -- stop the parser", 0},
    {"s$,line,col,pos=parser:GetError() -- get extended error information (V2.0)", 0},
    {nullptr, 0},
};

/* Expat's content-model enumerations, for the "elementdecl" callback. */
static const ConstantRecord xmlConstants[] = {
    {"XML_CTYPE_EMPTY", 0, 1},  {"XML_CTYPE_ANY", 0, 2},    {"XML_CTYPE_MIXED", 0, 3},
    {"XML_CTYPE_NAME", 0, 4},   {"XML_CTYPE_CHOICE", 0, 5}, {"XML_CTYPE_SEQ", 0, 6},
    {"XML_CQUANT_NONE", 0, 0},  {"XML_CQUANT_OPT", 0, 1},   {"XML_CQUANT_REP", 0, 2},
    {"XML_CQUANT_PLUS", 0, 3},  {nullptr, 0, 0},
};

static const CommandRecord *const commandTables[LIBRARY_COUNT] = {xmlCommands, parserCommands};
static const HelpRecord *const helpTables[LIBRARY_COUNT] = {xmlHelp, parserHelp};

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
  return knownLibrary() ? baseNames[currentLibrary] : nullptr;
}

const CommandRecord *GetCommands(void) {
  return knownLibrary() ? commandTables[currentLibrary] : nullptr;
}

const HelpRecord *GetHelpStrings(void) {
  return knownLibrary() ? helpTables[currentLibrary] : nullptr;
}

const ConstantRecord *GetConstants(void) {
  return currentLibrary == LIBRARY_XML ? xmlConstants : nullptr;
}

int InitLibrary(lua_State *) {
  return 0;
}

void FreeLibrary(lua_State *) {}

} /* extern "C" */
