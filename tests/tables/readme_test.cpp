// The Lua examples of README.md run as shown and print what their
// "--> " comments say.
#include "tests/encodings/converters.h"
#include "tests/lua_test.h"

namespace {

using Readme = LuaTest;

TEST_F(Readme, LuaExamplesRunAsShown) {
  lua_register(host.state(), "skipWithoutConverter", [](lua_State *L) {
    lua_pushboolean(L, skipWithoutConverter(luaL_checkstring(L, 1)));
    return 1;
  });
  lua("assert(loadfile('" SOURCE_DIR "/tests/readme.lua'))('" SOURCE_DIR
      "/README.md', xml, velloran, skipWithoutConverter)");
}

} // namespace
