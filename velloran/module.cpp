/*
 * velloran.xml: the plugin as a Lua C module, for any Lua 5.1 or LuaJIT
 * program. `require "velloran.xml"` loads xml.vlp from the module's own
 * folder (once per process), binds the parser methods into the calling
 * state and returns one table with what the stand-in host's scripts see in
 * `xml` (CreateParser, the constants) and in `velloran` (the table
 * functions, memory, help), plus SetHostEncoding.
 *
 * Each state has a host context of its own, anchored in its registry: its
 * host encoding and the module table. The context's finalizer frees the
 * plugin's libraries when the state closes; parser objects and table
 * sessions are freed by their own finalizers at the same time.
 */
#include <dlfcn.h>
#include <stdio.h>

#include <string>

#include "velloran/binding.h"
#include "velloran/encodings.h"
#include "velloran/services.h"

extern "C" __attribute__((visibility("default"))) int luaopen_velloran_xml(lua_State *L);

namespace velloran {

namespace {

const char CONTEXT_KEY[] = "velloran.xml.context";
const char TABLE_KEY[] = "velloran.xml";

struct StateContext {
  const Plugin *plugin; /* set once the libraries are bound */
  int encoding;
};

/* The plugin file next to this module; on failure copies the message into
   `message`. Calls nothing that can raise. */
const Plugin *loadBesideModule(char *message, size_t size) {
  Dl_info self;
  std::string path = "xml.vlp";
  if (dladdr(reinterpret_cast<void *>(&luaopen_velloran_xml), &self) && self.dli_fname) {
    path = self.dli_fname;
    path = path.substr(0, path.rfind('/') + 1) + "xml.vlp";
  }
  std::string error;
  const Plugin *plugin = loadPlugin(path.c_str(), &error);
  if (!plugin)
    snprintf(message, size, "%s", error.c_str());
  return plugin;
}

/* __gc of the context: the state is closing. */
int closeState(lua_State *L) {
  auto *context = static_cast<StateContext *>(lua_touserdata(L, 1));
  if (context && context->plugin)
    unbindPlugin(L, context->plugin);
  if (context)
    context->plugin = nullptr;
  return 0;
}

/* A host function entered from this state: the host reports the state's
   encoding to the plugin, which reads it when an operation starts. */
int enterState(lua_State *L) {
  auto *context = static_cast<StateContext *>(lua_touserdata(L, lua_upvalueindex(3)));
  setHostEncoding(context->encoding);
  auto function = reinterpret_cast<lua_CFunction>(lua_touserdata(L, lua_upvalueindex(2)));
  return function(L);
}

/* vx.SetHostEncoding(name): "utf-8" or "iso-8859-1", for this state. */
int setStateEncoding(lua_State *L) {
  auto *context = static_cast<StateContext *>(lua_touserdata(L, lua_upvalueindex(1)));
  context->encoding = luaL_checkoption(L, 1, nullptr, hostEncodingNames);
  return 0;
}

StateContext *newContext(lua_State *L) {
  auto *context = static_cast<StateContext *>(lua_newuserdata(L, sizeof(StateContext)));
  context->plugin = nullptr;
  context->encoding = ENCODING_UTF8;
  lua_createtable(L, 0, 1);
  lua_pushcfunction(L, closeState);
  lua_setfield(L, -2, "__gc");
  lua_setmetatable(L, -2);
  lua_pushvalue(L, -1);
  lua_setfield(L, LUA_REGISTRYINDEX, CONTEXT_KEY);
  return context;
}

/* Pushes the module table of a state that has none yet. */
void bindState(lua_State *L, const Plugin *plugin) {
  StateContext *context = newContext(L);
  int contextIndex = lua_gettop(L);
  lua_newtable(L);
  bindLibraries(L, plugin, lua_gettop(L));
  context->plugin = plugin;
  for (const luaL_Reg *f = hostFunctions(); f->name; f++) {
    lua_pushlightuserdata(L, const_cast<Plugin *>(plugin));
    lua_pushlightuserdata(L, reinterpret_cast<void *>(f->func));
    lua_pushvalue(L, contextIndex);
    lua_pushcclosure(L, enterState, 3);
    lua_setfield(L, -2, f->name);
  }
  lua_pushvalue(L, contextIndex);
  lua_pushcclosure(L, setStateEncoding, 1);
  lua_setfield(L, -2, "SetHostEncoding");
  lua_remove(L, contextIndex);
  lua_pushvalue(L, -1);
  lua_setfield(L, LUA_REGISTRYINDEX, TABLE_KEY);
}

} // namespace

} // namespace velloran

int luaopen_velloran_xml(lua_State *L) {
  /* A second require in the same state (package.loaded cleared) gets the
     same table: the libraries are bound once per state. */
  lua_getfield(L, LUA_REGISTRYINDEX, velloran::TABLE_KEY);
  if (lua_istable(L, -1))
    return 1;
  lua_pop(L, 1);
  char message[1024];
  const velloran::Plugin *plugin = velloran::loadBesideModule(message, sizeof message);
  if (!plugin)
    return luaL_error(L, "%s", message);
  velloran::bindState(L, plugin);
  return 1;
}
