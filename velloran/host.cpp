/*
 * The Host object: state creation, binding in protected mode, running chunks.
 */
#include "velloran/host.h"

#include "velloran/binding.h"
#include "velloran/script.h"

extern "C" {
#include <lualib.h>
}

namespace velloran {

namespace {

int openLibraries(lua_State *L) {
  luaL_openlibs(L);
  return 0;
}

} // namespace

std::string describeValue(lua_State *L, int index) {
  index = index < 0 && index > LUA_REGISTRYINDEX ? lua_gettop(L) + index + 1 : index;
  if (!lua_checkstack(L, 2))
    return "(no stack space to describe the error)";
  lua_getglobal(L, "tostring");
  lua_pushvalue(L, index);
  std::string text;
  if (lua_pcall(L, 1, 1, 0) == 0 && lua_isstring(L, -1)) {
    size_t length;
    const char *s = lua_tolstring(L, -1, &length);
    text.assign(s, length);
  } else {
    text = std::string("(error object is a ") + luaL_typename(L, index) + " value)";
  }
  lua_pop(L, 1);
  return text;
}

Host::Host(const char *pluginPath) : L_(newScriptState()), plugin_(nullptr) {
  if (!L_) {
    error_ = "cannot create a script state: not enough memory";
    return;
  }
  if (lua_cpcall(L_, openLibraries, nullptr) != 0) {
    error_ = describeValue(L_, -1);
    lua_pop(L_, 1);
    return;
  }
  const Plugin *plugin = loadPlugin(pluginPath, &error_);
  if (!plugin)
    return;
  if (lua_cpcall(L_, bindPlugin, const_cast<Plugin *>(plugin)) != 0) {
    error_ = std::string(pluginPath) + ": " + describeValue(L_, -1);
    lua_pop(L_, 1);
    return;
  }
  plugin_ = plugin;
}

Host::~Host() {
  if (!L_)
    return;
  if (plugin_)
    unbindPlugin(L_, plugin_);
  lua_close(L_);
}

bool Host::ok() const {
  return plugin_ != nullptr;
}

const std::string &Host::error() const {
  return error_;
}

lua_State *Host::state() {
  return L_;
}

const Plugin *Host::plugin() const {
  return plugin_;
}

bool Host::run(const std::string &chunk, std::string *message, const char *chunkName) {
  if (!L_) {
    if (message)
      *message = error_;
    return false;
  }
  int top = lua_gettop(L_);
  int status = luaL_loadbuffer(L_, chunk.data(), chunk.size(), chunkName);
  if (status == 0)
    status = lua_pcall(L_, 0, 0, 0);
  if (status != 0 && message)
    *message = describeValue(L_, -1);
  lua_settop(L_, top);
  return status == 0;
}

} // namespace velloran
