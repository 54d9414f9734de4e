/*
 * The two script libraries: 0 is "xml" (CreateParser and the content-model
 * constants), 1 is "parser:" (the methods of parser objects).
 */
#ifndef VELLORAN_PLUGIN_LIBRARIES_H
#define VELLORAN_PLUGIN_LIBRARIES_H

#include "host/abi.h"

extern "C" {
const char *GetBaseTable(void);
const CommandRecord *GetCommands(void);
const ConstantRecord *GetConstants(void);
const HelpRecord *GetHelpStrings(void);
int GetLibraryCount(void);
void SetCurrentLibrary(int index);
int InitLibrary(lua_State *L);
void FreeLibrary(lua_State *L);
}

#endif
