-- Reads an XHTML page whose entities (&nbsp;, &copy;, ...) and attribute
-- defaults are declared in its external DTD, a file next to the page. The
-- page is read twice: as parsers do by default, which never read the DTD,
-- and with parameter-entity parsing on, which hands the DTD (and the
-- parameter entities it reads) to "externalentityref".
-- Usage: velloran examples/xhtml.lua examples/page.xhtml
local args = {...}
if #args == 0 and arg then args = arg end
local path = args[1] or "examples/page.xhtml"

local function readFile(name)
  local f = io.open(name, "rb")
  if not f then return nil end
  local text = f:read("*a")
  f:close()
  return text
end

local function directory(name)
  return name:match("^(.*)/[^/]*$") or "."
end

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
    externalentityref = function(p, child, base, systemId, publicId)
      local file = systemId
      if base and not systemId:match("^/") then file = base .. "/" .. systemId end
      local content = readFile(file)
      if not content then
        print("cannot read " .. file)
        return 0
      end
      child:SetBase(directory(file))
      if child:Parse(content) ~= 1 or child:Parse() ~= 1 then
        print(string.format("%s: %s", file, child:GetError()))
        return 0
      end
      return 1
    end,
  }
  local p = xml.CreateParser(callbacks)
  p:SetBase(directory(path))
  if mode then p:SetParamEntityParsing(mode) end
  if p:Parse(assert(readFile(path), "cannot read " .. path)) ~= 1 or p:Parse() ~= 1 then
    local message, line, column = p:GetError()
    print(string.format("%s:%d:%d: %s", path, line, column, message))
  end
  p:Free()
  for _, line in ipairs(lines) do print("  " .. line) end
  if #skipped > 0 then print("  skipped: " .. table.concat(skipped, " ")) end
end

print("without parameter-entity parsing (the default):")
readPage(nil)
print("with xml.XML_PARAM_ENTITY_PARSING_UNLESS_STANDALONE:")
readPage(xml.XML_PARAM_ENTITY_PARSING_UNLESS_STANDALONE)
