// WriteTable replaces a regular file only, never through a link it did not
// ask for, and keeps its permission bits; ReadTable names a folder as one.
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/lua_test.h"

namespace {

class Files : public LuaTest {
protected:
  std::string dir;
  void SetUp() override {
    LuaTest::SetUp();
    char name[] = "/tmp/files_test.XXXXXX";
    ASSERT_TRUE(mkdtemp(name));
    dir = name;
    lua("dir = '" + dir + "'");
  }
  void TearDown() override {
    EXPECT_EQ(system(("rm -r " + dir).c_str()), 0);
  }
  std::string at(const char *name) const {
    return dir + "/" + name;
  }
  mode_t mode(const char *name, bool follow = true) const {
    struct stat st;
    EXPECT_EQ(follow ? stat(at(name).c_str(), &st) : lstat(at(name).c_str(), &st), 0) << name;
    return st.st_mode;
  }
};

TEST_F(Files, LinksStayLinksAndOnlyTheirTargetIsReplaced) {
  lua(R"(
    local function put(name, text) local f = io.open(dir .. "/" .. name, "w") f:write(text) f:close() end
    put("victim", "keep me")
    put("target.xml", "old")
    assert(os.execute("ln -s victim " .. dir .. "/out.xml.part") == 0)
    assert(os.execute("ln -s target.xml " .. dir .. "/link.xml") == 0)
    velloran.WriteTable(dir .. "/out.xml", {a = 1})
    velloran.WriteTable(dir .. "/link.xml", {b = 2})
    eq(io.open(dir .. "/victim"):read("*a"), "keep me")
    eq(velloran.ReadTable(dir .. "/target.xml").b, 2)
  )");
  EXPECT_TRUE(S_ISLNK(mode("link.xml", false)));
}

TEST_F(Files, PermissionBitsAreKept) {
  lua("local f = io.open(dir .. '/private.xml', 'w') f:close()");
  ASSERT_EQ(chmod(at("private.xml").c_str(), 0600), 0);
  lua("velloran.WriteTable(dir .. '/private.xml', {secret = 'x'})");
  EXPECT_EQ(mode("private.xml") & 07777, 0600u);
}

TEST_F(Files, WhatIsNoRegularFileIsNeverReplaced) {
  ASSERT_EQ(mkfifo(at("pipe").c_str(), 0600), 0);
  lua(R"(
    expectError("not a regular file", velloran.WriteTable, dir .. "/pipe", {})
    expectError("not a regular file", velloran.WriteTable, dir, {})
    expectError("is a directory", velloran.ReadTable, dir)
  )");
  EXPECT_TRUE(S_ISFIFO(mode("pipe")));
  EXPECT_EQ(system(("test $(ls -A " + dir + " | wc -l) = 1").c_str()), 0) << "no file left";
}

} // namespace
