-- luarocks make (in a checkout) builds the plugin xml.vlp and the module
-- velloran.xml, and installs both into the tree's lib/lua/5.1/velloran/.
rockspec_format = "3.0"
package = "velloran-xml"
version = "2.1-1"
source = {
   url = "git+https://velloran.invalid/plugins/xml.git",
}
description = {
   summary = "Expat's XML parser and XML table files for Lua 5.1 and LuaJIT",
   detailed = [[
The xml.vlp plugin of the Velloran host as the Lua C module velloran.xml:
event-driven XML parser objects with Expat's callbacks, documents in the
encodings that iconv knows, and Lua tables saved to and loaded from XML
(files replaced atomically).
]],
   homepage = "https://velloran.invalid/plugins/xml",
}
dependencies = {
   "lua >= 5.1, < 5.2",
}
external_dependencies = {
   EXPAT = { header = "expat.h", library = "expat" },
}
build = {
   type = "cmake",
   variables = {
      ROCK = "ON",
      CMAKE_BUILD_TYPE = "Release",
      CMAKE_INSTALL_PREFIX = "$(PREFIX)",
      LUA_INCLUDE_DIR = "$(LUA_INCDIR)",
      EXPAT_INCDIR = "$(EXPAT_INCDIR)",
      EXPAT_LIBDIR = "$(EXPAT_LIBDIR)",
   },
}
