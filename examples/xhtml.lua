-- Reads an XHTML page whose entities (&nbsp;, &copy;, ...) and attribute
-- defaults are declared in its external DTD, a file next to the page. The
-- page is read twice: as parsers do by default, which never read the DTD,
-- and with parameter-entity parsing on, which hands the DTD (and the
-- parameter entities it reads) to "externalentityref".
-- Usage: velloran examples/xhtml.lua examples/page.xhtml
local args = {...}
if #args == 0 and arg then args = arg end
local path = args[1] or "examples/page.xhtml"
local files = dofile((arg and arg[0] or ""):match("^(.-)[^/]*$") .. "entity_files.lua")

local function readPage(mode)
  local lines, skipped, text, label = {}, {}
  local callbacks = {
    startelement = function(p, name, attributes)
      if name == "html" then lines[#lines + 1] = "html xmlns=" .. tostring(attributes.xmlns) end
      if name == "title" or name == "p" then
        text, label = {}, name .. (attributes.class and " (" .. attributes.class .. ")" or "")
      end
    end,
    characterdata = function(p, s)
      if text then text[#text + 1] = s end
    end,
    endelement = function(p, name)
      if text then lines[#lines + 1] = label .. ": " .. table.concat(text) end
      text = nil
    end,
    skippedentity = function(p, name)
      skipped[#skipped + 1] = "&" .. name .. ";"
    end,
    -- The DTD, then the entity file that it reads: each is resolved against
    -- the base of the declaration. A child's base is the folder of its
    -- file, so that what the file declares is resolved against that.
    externalentityref = files.entityReader(),
  }
  local p = xml.CreateParser(callbacks)
  if mode then p:SetParamEntityParsing(mode) end
  files.parseFile(p, path)
  p:Free()
  for _, line in ipairs(lines) do print("  " .. line) end
  if #skipped > 0 then print("  skipped: " .. table.concat(skipped, " ")) end
end

print("without parameter-entity parsing (the default):")
readPage(nil)
print("with xml.XML_PARAM_ENTITY_PARSING_UNLESS_STANDALONE:")
readPage(xml.XML_PARAM_ENTITY_PARSING_UNLESS_STANDALONE)
