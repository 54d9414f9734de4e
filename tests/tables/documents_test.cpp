// Any well-formed document read into tables ("indexed", raw names) and
// written back keeps its element names and nesting, its attributes in order,
// and the text of every element without children.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/lua_test.h"

namespace {

const char *const SAME_DOCUMENT = R"lua(
local function sameElement(a, b, where)
  assert(a.name == b.name, where .. ": name " .. tostring(a.name) .. " vs " .. tostring(b.name))
  local i = 0
  while a.attrs[i] or b.attrs[i] do
    local x, y = a.attrs[i], b.attrs[i]
    assert(x and y and x.key == y.key and x.value == y.value,
           where .. ": attribute " .. i .. " of " .. a.name)
    i = i + 1
  end
  local n = 0
  while a.nodes[n] or b.nodes[n] do
    assert(a.nodes[n] and b.nodes[n], where .. ": children of " .. a.name)
    sameElement(a.nodes[n], b.nodes[n], where .. "/" .. a.name .. "[" .. n .. "]")
    n = n + 1
  end
  if n == 0 then
    assert(a.text == b.text, where .. ": text of " .. a.name .. ": " .. string.format("%q", a.text)
           .. " vs " .. string.format("%q", b.text))
  end
end

function checkDocument(path)
  local f = assert(io.open(path, "rb"))
  local text = f:read("*a")
  f:close()
  local options = {format = "indexed", rawnames = true}
  local first = velloran.DeserializeTable(text, options)
  local written = velloran.SerializeTable(first, options)
  local again = velloran.DeserializeTable(written, options)
  sameElement(first[0], again[0], path)
end
)lua";

using Documents = LuaTest;

TEST_F(Documents, EveryValidTestDocumentWritesBackTheSame) {
  std::filesystem::path suite = std::filesystem::path(SOURCE_DIR) / "third_party/xmltest";
  std::vector<std::string> files;
  for (const char *folder : {"valid/sa", "valid/ext-sa", "valid/not-sa"}) {
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(suite / folder, error))
      if (entry.path().extension() == ".xml")
        files.push_back(entry.path().string());
  }
  if (files.empty()) {
    if (getenv("CI"))
      FAIL() << "the XML test cases are missing from " << suite << " (make deps fetches them)";
    GTEST_SKIP() << "the XML test cases are not fetched";
  }
  std::sort(files.begin(), files.end());
  lua(SAME_DOCUMENT);
  for (const std::string &file : files)
    lua("checkDocument('" + file + "')");
}

TEST_F(Documents, ExamplesWriteBackTheSame) {
  lua(SAME_DOCUMENT);
  for (const char *name : {"outline.xml", "library.xml"})
    lua("checkDocument('" + std::string(SOURCE_DIR) + "/examples/" + name + "')");
}

} // namespace
