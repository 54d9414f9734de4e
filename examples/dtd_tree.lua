-- Prints the declarations of a document's internal DTD subset, each
-- element's content model drawn as a tree.
-- Usage: velloran examples/dtd_tree.lua examples/library.xml
local args = {...}
if #args == 0 and arg then args = arg end
local path = args[1] or "examples/library.xml"

-- Content types and quantifiers, by the numbers the "elementdecl" callback
-- reports and the plugin exports as constants.
local typeNames = {
  [xml.XML_CTYPE_EMPTY] = "EMPTY", [xml.XML_CTYPE_ANY] = "ANY",
  [xml.XML_CTYPE_MIXED] = "mixed", [xml.XML_CTYPE_NAME] = "name",
  [xml.XML_CTYPE_CHOICE] = "choice", [xml.XML_CTYPE_SEQ] = "sequence",
}
local quantMarks = {
  [xml.XML_CQUANT_NONE] = "", [xml.XML_CQUANT_OPT] = "?",
  [xml.XML_CQUANT_REP] = "*", [xml.XML_CQUANT_PLUS] = "+",
}

local function label(node)
  local text = node.name or typeNames[node.type] or ("type " .. node.type)
  return text .. quantMarks[node.quantifier]
end

-- Children tables count from 0.
local function drawChildren(children, indent)
  local n = 0
  while children[n] do n = n + 1 end
  for i = 0, n - 1 do
    local node = children[i]
    local last = i == n - 1
    print(indent .. (last and "`-- " or "|-- ") .. label(node))
    if node.children then
      drawChildren(node.children, indent .. (last and "    " or "|   "))
    end
  end
end

local function show(value)
  if value == nil then return "-" end
  return string.format("%q", value)
end

local callbacks = {
  startdoctypedecl = function(p, name, systemId, publicId, hasSubset)
    print("DOCTYPE " .. name .. "  system " .. show(systemId) .. "  public " ..
          show(publicId) .. (hasSubset == 1 and "  (internal subset)" or ""))
  end,
  elementdecl = function(p, name, type, quantifier, children)
    print("ELEMENT " .. name .. ": " .. label({ type = type, quantifier = quantifier }))
    if children then drawChildren(children, "  ") end
  end,
  attlistdecl = function(p, element, attribute, type, default, required)
    print("ATTLIST " .. element .. " " .. attribute .. "  type " .. type .. "  default " ..
          show(default) .. (required == 1 and "  required" or ""))
  end,
  entitydecl = function(p, name, isParameter, value, base, systemId, publicId, notation)
    print("ENTITY " .. (isParameter == 1 and "% " or "") .. name .. "  value " ..
          show(value) .. "  system " .. show(systemId) .. "  notation " .. show(notation))
  end,
  notationdecl = function(p, name, base, systemId, publicId)
    print("NOTATION " .. name .. "  system " .. show(systemId) .. "  public " ..
          show(publicId))
  end,
  enddoctypedecl = function(p)
    print("end of DOCTYPE")
  end,
}

local f = assert(io.open(path, "rb"))
local text = f:read("*a")
f:close()

local p = xml.CreateParser(callbacks)
if p:Parse(text) ~= 1 or p:Parse() ~= 1 then
  local message, line, column = p:GetError()
  print(string.format("%s:%d:%d: %s", path, line, column, message))
end
p:Free()
