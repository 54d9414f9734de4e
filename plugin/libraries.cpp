#include "plugin/libraries.h"

#include <expat.h>

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
    {"SetParamEntityParsing", parser::SetParamEntityParsing},
    {"UseForeignDTD", parser::UseForeignDTD},
    {"GetInputContext", parser::GetInputContext},
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
    {"ok=parser:SetParamEntityParsing(mode) -- set parameter entity parsing", 0},
    {"parser:UseForeignDTD([flag]) -- use a DTD for documents without one", 0},
    {"s$=parser:GetInputContext() -- get the document text of the current event", 0},
    {nullptr, 0},
};

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
