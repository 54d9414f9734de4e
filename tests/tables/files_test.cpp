// WriteTable replaces a regular file only, never through a link it did not
// ask for, and keeps its permission bits and, where it may, its owner;
// ReadTable names a folder as one.
#include <stdlib.h>
#include <unistd.h>

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

// The names longest for the file system, whose temporary name is cut.
TEST_F(Files, NamesOfAnyLengthAreReplaced) {
  lua(R"(
    for _, n in ipairs{250, 255} do
      local file = dir .. "/" .. ("n"):rep(n)
      velloran.WriteTable(file, {a = 1})
      velloran.WriteTable(file, {a = n})
      eq(velloran.ReadTable(file).a, n)
    end
    assert(sh("test $(ls -A | wc -l) = 2"), "a temporary file is left")
  )");
}

// Root keeps another user's file as it was; a writer that may not give the
// file back to its owner gives it no setuid, setgid or sticky bit.
TEST_F(Files, OwnerKeptWhereTheWriterMaySetIt) {
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root, to give the files other owners";
  // Nobody must be able to run the host, and the build folder may lie in
  // root's home: copies of the host and its plugin are run. An emulated
  // host, whose libraries lie in the build folder, runs where it is, and
  // its row for nobody is left out where nobody cannot reach it.
  lua("program, plugin, emulated = '" VELLORAN_PATH "', '" PLUGIN_PATH "', " +
      std::string(VELLORAN_EMULATED ? "true" : "false"));
  lua(R"lua(
    assert(sh("chmod 777 ."))
    if not emulated then
      assert(sh(("mkdir bin && cp %s %s bin/ && chmod -R a+rX bin"):format(program, plugin)))
      program = dir .. "/bin/velloran"
    end
    local asNobody = "setpriv --reuid=nobody --regid=nogroup --clear-groups "
    local nobodyRuns = sh(asNobody .. program .. " -e ''")
    assert(nobodyRuns or emulated, "nobody cannot run the copied host")
    if not nobodyRuns then print("SKIP: nobody cannot reach the emulated host " .. program) end
    local rows = { -- writer, owner and mode before, after
      {"", "nobody:nogroup 6755", "nobody:nogroup 6755"},
      nobodyRuns and {asNobody, "root:root 7755", "nobody:nogroup 755"} or nil,
    }
    for i, row in ipairs(rows) do
      local f, owner, mode = "f" .. i, row[2]:match("(%S+) (%S+)")
      assert(sh(("touch %s && chown %s %s && chmod %s %s && %s%s -e 'velloran.WriteTable(%q, {})'")
                :format(f, owner, f, mode, f, row[1], program, f)))
      eq(io.popen(("stat -c '%%U:%%G %%a' %s/%s"):format(dir, f)):read("*l"), row[3], row[2])
    end
  )lua");
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
