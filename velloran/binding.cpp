/*
 * The library binding. Every command is reached through the trampoline of
 * script.cpp, which raises the error a command names by its result.
 */
#include "velloran/binding.h"

#include <string.h>

#include "velloran/tables_functions.h"
#include "velloran/tables_session.h"
#include "velloran/script.h"
#include "velloran/services.h"

namespace velloran {

namespace {

void setCommands(lua_State *L, const Library &library) {
  for (const CommandRecord *c = library.commands; c->name; c++) {
    pushCommand(L, c->function, strcmp(c->name, "__gc") == 0);
    lua_setfield(L, -2, c->name);
  }
}

void setConstants(lua_State *L, const Library &library) {
  for (const ConstantRecord *c = library.constants; c && c->name; c++) {
    lua_pushnumber(L, c->value);
    lua_setfield(L, -2, c->name);
  }
}

void bindLibrary(lua_State *L, const Library &library, int into) {
  if (library.methods) {
    luaL_newmetatable(L, library.metatable.c_str());
    setCommands(L, library);
    setConstants(L, library);
    lua_pushvalue(L, -1);
    lua_setfield(L, -2, "__index");
    lua_pop(L, 1);
    return;
  }
  if (into)
    lua_pushvalue(L, into);
  else
    lua_newtable(L);
  setCommands(L, library);
  setConstants(L, library);
  if (into)
    lua_pop(L, 1);
  else
    lua_setglobal(L, library.base.c_str());
}

/* ---- the `velloran` table ------------------------------------------------ */

void setTagField(void *context, const char *tag, size_t bytes) {
  lua_State *L = static_cast<lua_State *>(context);
  lua_pushnumber(L, static_cast<lua_Number>(bytes));
  lua_setfield(L, -2, tag);
}

void setCount(lua_State *L, const char *name, size_t value) {
  lua_pushnumber(L, static_cast<lua_Number>(value));
  lua_setfield(L, -2, name);
}

struct MemoryCounts {
  size_t bytes, blocks, peak;
};

/* Read apart from any script call: MemoryStats owns a map. */
MemoryCounts readMemoryCounts() {
  MemoryStats stats = memoryStats();
  return {stats.bytes, stats.blocks, stats.peak};
}

/* velloran.memory([resetPeak]) -> { bytes, blocks, peak, tags = { [tag] = bytes } } */
int memory(lua_State *L) {
  MemoryCounts counts = readMemoryCounts();
  lua_createtable(L, 0, 4);
  setCount(L, "bytes", counts.bytes);
  setCount(L, "blocks", counts.blocks);
  setCount(L, "peak", counts.peak);
  lua_newtable(L);
  visitMemoryTags(setTagField, L);
  lua_setfield(L, -2, "tags");
  if (lua_toboolean(L, 1))
    resetMemoryPeak();
  return 1;
}

/* velloran.help(name) -> the command's help text, or nil */
int help(lua_State *L) {
  const char *text = commandHelp(boundPlugin(L), luaL_checkstring(L, 1));
  if (text)
    lua_pushstring(L, text);
  else
    lua_pushnil(L);
  return 1;
}

/* The functions of the `velloran` table; each gets the plugin as upvalue. */
const luaL_Reg velloranFunctions[] = {
    {"memory", memory},
    {"help", help},
    {"SerializeTable", SerializeTable},
    {"DeserializeTable", DeserializeTable},
    {"WriteTable", WriteTable},
    {"ReadTable", ReadTable},
    {nullptr, nullptr},
};

/* Copies the fields of the global table `name` into the table on top. */
void copyGlobalTable(lua_State *L, const char *name) {
  lua_getglobal(L, name);
  if (!lua_istable(L, -1)) {
    lua_pop(L, 1);
    return;
  }
  lua_pushnil(L);
  while (lua_next(L, -2)) {
    lua_pushvalue(L, -2);
    lua_insert(L, -2);
    lua_settable(L, -5); /* leaves the key for the next step */
  }
  lua_pop(L, 1);
}

/* require "velloran.xml" in the host's scripts: what the Lua module returns
   in other programs, here the host's own library tables and `velloran`
   functions in one table, so that scripts written for the module run here
   unchanged. */
int requireModule(lua_State *L) {
  lua_newtable(L);
  for (const Library &library : pluginLibraries(boundPlugin(L)))
    if (!library.methods)
      copyGlobalTable(L, library.base.c_str());
  copyGlobalTable(L, "velloran");
  return 1;
}

void preloadModule(lua_State *L, const Plugin *plugin) {
  lua_getglobal(L, "package");
  if (lua_istable(L, -1)) {
    lua_getfield(L, -1, "preload");
    if (lua_istable(L, -1)) {
      lua_pushlightuserdata(L, const_cast<Plugin *>(plugin));
      lua_pushcclosure(L, requireModule, 1);
      lua_setfield(L, -2, "velloran.xml");
    }
    lua_pop(L, 1);
  }
  lua_pop(L, 1);
}

} // namespace

const Plugin *boundPlugin(lua_State *L) {
  return static_cast<const Plugin *>(lua_touserdata(L, lua_upvalueindex(1)));
}

const luaL_Reg *hostFunctions() {
  return velloranFunctions;
}

void bindLibraries(lua_State *L, const Plugin *plugin, int into) {
  const std::vector<Library> &libraries = pluginLibraries(plugin);
  for (size_t i = 0; i < libraries.size(); i++) {
    bindLibrary(L, libraries[i], into);
    plugin->SetCurrentLibrary(static_cast<int>(i));
    if (plugin->InitLibrary(L) != 0)
      luaL_error(L, "InitLibrary failed for library %d (%s)", static_cast<int>(i),
                 libraries[i].base.c_str());
  }
  plugin->SetCurrentLibrary(0);
  registerSessionMetatable(L);
}

int bindPlugin(lua_State *L) {
  const Plugin *plugin = static_cast<const Plugin *>(lua_touserdata(L, 1));
  bindLibraries(L, plugin, 0);
  lua_newtable(L);
  for (const luaL_Reg *f = velloranFunctions; f->name; f++) {
    lua_pushlightuserdata(L, const_cast<Plugin *>(plugin));
    lua_pushcclosure(L, f->func, 1);
    lua_setfield(L, -2, f->name);
  }
  lua_setglobal(L, "velloran");
  preloadModule(L, plugin);
  return 0;
}

void unbindPlugin(lua_State *L, const Plugin *plugin) {
  const std::vector<Library> &libraries = pluginLibraries(plugin);
  for (size_t i = 0; i < libraries.size(); i++) {
    plugin->SetCurrentLibrary(static_cast<int>(i));
    plugin->FreeLibrary(L);
  }
  plugin->SetCurrentLibrary(0);
}

} // namespace velloran
