-- Prints the events that the xml plugin reports for documents of an XML
-- test suite, in the line format of xmltest_compare.py.
-- Usage: velloran xmltest_events.lua [--chunk=N] [--pe] [--ns] SUITE DOC...
-- (DOC relative to SUITE). With --chunk=N each document is fed in pieces of
-- N bytes; --pe turns parameter-entity parsing on (unless standalone), so
-- that external DTDs are read; --ns parses with namespaces (separator " ").
local args = {...}
if #args == 0 and arg then args = arg end
local chunk, pe, separator
while args[1] and args[1]:match("^%-%-") do
  local option = table.remove(args, 1)
  if option:match("^%-%-chunk=") then chunk = tonumber(option:sub(9))
  elseif option == "--pe" then pe = true
  elseif option == "--ns" then separator = " "
  else error("unknown option " .. option) end
end
local suite = args[1]

local function escape(text)
  return (text:gsub("[%z\1-\32\127\\]", function(c)
    if c == "\\" then return "\\\\" end
    if c == " " then return "\\s" end
    return string.format("\\x%02X", c:byte())
  end))
end

local function readFile(path)
  local f = io.open(path, "rb")
  if not f then return nil end
  local data = f:read("*a")
  f:close()
  return data
end

local lines, pieces

local function flush()
  if #pieces > 0 then
    lines[#lines + 1] = "C " .. escape(table.concat(pieces))
    pieces = {}
  end
end

local callbacks = {
  startelement = function(p, name, attributes)
    flush()
    local names = {}
    for k in pairs(attributes) do names[#names + 1] = k end
    table.sort(names)
    local line = { "S " .. escape(name) }
    for _, k in ipairs(names) do
      line[#line + 1] = escape(k) .. "=" .. escape(attributes[k])
    end
    lines[#lines + 1] = table.concat(line, " ")
  end,
  endelement = function(p, name)
    flush()
    lines[#lines + 1] = "E " .. escape(name)
  end,
  characterdata = function(p, text)
    pieces[#pieces + 1] = text
  end,
  processinginstruction = function(p, target, data)
    flush()
    lines[#lines + 1] = "P " .. escape(target) .. " " .. escape(data)
  end,
  entitydecl = function(p, name, isParameter, value)
    flush()
    lines[#lines + 1] = "D " .. escape(name) .. " " .. isParameter .. " " ..
                        (value and escape(value) or "-")
  end,
  -- The entity's file, resolved against the base, is fed to the child,
  -- whose base is the file's folder.
  externalentityref = function(p, child, base, systemId, publicId)
    if not systemId then return 0 end
    local path = systemId
    if base and not systemId:match("^/") then path = base .. "/" .. systemId end
    local data = readFile(path)
    if not data then return 0 end
    child:SetBase(path:match("^(.*)/[^/]*$") or "")
    if child:Parse(data) == 1 and child:Parse() == 1 then return 1 end
    return 0
  end,
}

local function parseDocument(p, data)
  if pe then p:SetParamEntityParsing(xml.XML_PARAM_ENTITY_PARSING_UNLESS_STANDALONE) end
  local ok = true
  local size = chunk or math.max(#data, 1)
  for at = 1, #data, size do
    ok = ok and p:Parse(data:sub(at, at + size - 1)) == 1
  end
  return ok and p:Parse() == 1
end

for i = 2, #args do
  local relative = args[i]
  local path = suite .. "/" .. relative
  lines, pieces = {}, {}
  local data = assert(readFile(path), "cannot read " .. path)
  local p = xml.CreateParser(callbacks, separator)
  p:SetBase((path:gsub("/[^/]*$", "")))
  local done, ok = pcall(parseDocument, p, data)
  p:Free()
  flush()
  io.write("# ", relative, "\n")
  if #lines > 0 then io.write(table.concat(lines, "\n"), "\n") end
  io.write("= ", done and (ok and 1 or 0) or "error " .. escape(tostring(ok)), "\n")
end
