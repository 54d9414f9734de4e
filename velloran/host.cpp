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

/* Full collections at the close, at most this many. */
enum { CLOSING_ROUNDS = 20 };

/* lua_cpcall: clears the globals that hold objects (userdata, coroutines),
   which only scripts put there; then one full collection. */
int collectLeftovers(lua_State *L) {
  lua_pushnil(L);
  while (lua_next(L, LUA_GLOBALSINDEX) != 0) {
    int type = lua_type(L, -1);
    lua_pop(L, 1);
    if (type == LUA_TUSERDATA || type == LUA_TTHREAD) {
      lua_pushvalue(L, -1);
      lua_pushnil(L);
      lua_rawset(L, LUA_GLOBALSINDEX);
    }
  }
  lua_gc(L, LUA_GCCOLLECT, 0);
  return 0;
}

long heapBytes(lua_State *L) {
  return static_cast<long>(lua_gc(L, LUA_GCCOUNT, 0)) * 1024 + lua_gc(L, LUA_GCCOUNTB, 0);
}

/* lua_close finalizes what is alive when it starts, but not what those
   finalizers make: a parser object made then would never be freed. So the
   objects that scripts left in the globals are finalized first, while the
   plugin is fully there, by collections with those globals cleared, round
   after round while the finalizers of one round leave work for the next
   (a failing finalizer ends its round early). Then the state closes with
   the plugin's commands refused but its collector hooks: whatever is left
   is finalized, and nothing that needs finalizing is made meanwhile. */
void closeState(lua_State *L, const Plugin *plugin) {
  lua_settop(L, 0);
  long before = -1;
  for (int round = 0; round < CLOSING_ROUNDS; round++) {
    if (lua_cpcall(L, collectLeftovers, nullptr) != 0) {
      lua_pop(L, 1);
      continue;
    }
    long now = heapBytes(L);
    if (now == before)
      break;
    before = now;
  }
  setStateClosing(true);
  if (plugin)
    unbindPlugin(L, plugin);
  lua_close(L);
  setStateClosing(false);
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
  if (L_)
    closeState(L_, plugin_);
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
