// WriteTable replaces a regular file only, never through a link it did not
// ask for, and keeps its permission bits; ReadTable names a folder as one.
#include <stdlib.h>

#include "tests/lua_test.h"

namespace {

// Each test works in a folder of its own, `dir`; sh(command) runs a shell
// command there and tells whether it succeeded.
class Files : public LuaTest {
protected:
  std::string dir;
  void SetUp() override {
    LuaTest::SetUp();
    char name[] = "/tmp/files_test.XXXXXX";
    ASSERT_TRUE(mkdtemp(name));
    dir = name;
    lua("dir = '" + dir + "'");
    lua("function sh(command) return os.execute('cd ' .. dir .. ' && ' .. command) == 0 end");
  }
  void TearDown() override {
    EXPECT_EQ(system(("rm -r " + dir).c_str()), 0);
  }
};

TEST_F(Files, LinksStayLinksAndOnlyTheirTargetIsReplaced) {
  lua(R"(
    assert(sh("echo 'keep me' > victim && echo old > target.xml"))
    assert(sh("ln -s victim out.xml.part && ln -s target.xml link.xml"))
    velloran.WriteTable(dir .. "/out.xml", {a = 1})
    velloran.WriteTable(dir .. "/link.xml", {b = 2})
    assert(sh("test \"$(cat victim)\" = 'keep me' && test -L link.xml"), "victim or link replaced")
    eq(velloran.ReadTable(dir .. "/target.xml").b, 2)
  )");
}

TEST_F(Files, PermissionBitsAreKept) {
  lua(R"(
    assert(sh("touch private.xml && chmod 600 private.xml"))
    velloran.WriteTable(dir .. "/private.xml", {secret = "x"})
    assert(sh("test $(stat -c %a private.xml) = 600"), "permission bits changed")
  )");
}

TEST_F(Files, WhatIsNoRegularFileIsNeverReplaced) {
  lua(R"(
    assert(sh("mkfifo pipe"))
    expectError("not a regular file", velloran.WriteTable, dir .. "/pipe", {})
    expectError("not a regular file", velloran.WriteTable, dir, {})
    expectError("is a directory", velloran.ReadTable, dir)
    assert(sh("test -p pipe && test $(ls -A | wc -l) = 1"), "the pipe is replaced or a file left")
  )");
}

} // namespace
