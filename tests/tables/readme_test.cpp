// The Lua examples of README.md run as shown and print what their
// "--> " comments say.
#include "tests/lua_test.h"

namespace {

using Readme = LuaTest;

TEST_F(Readme, LuaExamplesRunAsShown) {
  lua("assert(loadfile('" SOURCE_DIR "/tests/readme.lua'))('" SOURCE_DIR
      "/README.md', xml, velloran)");
}

} // namespace
