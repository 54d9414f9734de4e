// The host's luaL_addlstring service copies runs of bytes into the engine's
// string buffer: pieces that fill, cross and exceed the buffer must give
// the same string, with the buffer's stack use unchanged.
#include <string>

#include <gtest/gtest.h>

#include "velloran/script.h"
#include "velloran/services.h"

TEST(Buffer, PiecesAcrossTheBufferGiveTheWholeText) {
  auto add = reinterpret_cast<void (*)(luaL_Buffer *, const char *, size_t)>(
      velloran::hostServices()->slot[HOST_SCRIPT_SERVICES][SCRIPT_LUAL_ADDLSTRING]);
  const size_t pieces[] = {0, 1, LUAL_BUFFERSIZE - 2, 1, 1, 1, LUAL_BUFFERSIZE,
                           3 * LUAL_BUFFERSIZE + 5, 7};
  std::string text;
  for (size_t i = 0; text.size() < 5 * LUAL_BUFFERSIZE + 20; i++)
    text += static_cast<char>('a' + i * 7 % 26);

  lua_State *L = velloran::newScriptState();
  ASSERT_NE(nullptr, L);
  luaL_Buffer buffer;
  luaL_buffinit(L, &buffer);
  size_t at = 0;
  for (size_t n : pieces) {
    add(&buffer, text.data() + at, n);
    at += n;
  }
  luaL_pushresult(&buffer);
  EXPECT_EQ(text.substr(0, at), lua_tostring(L, -1));
  EXPECT_EQ(1, lua_gettop(L));
  lua_close(L);
}
