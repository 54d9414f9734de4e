-- Prints the events that the xml plugin reports for documents of James
-- Clark's XML test cases, in the line format of xmltest_compare.py.
-- Usage: velloran xmltest_events.lua [--chunk=N] SUITE DOC...   (DOC relative to SUITE)
-- With --chunk=N each document is fed in pieces of N bytes.
local args = {...}
if #args == 0 and arg then args = arg end
local chunk
if args[1] and args[1]:match("^%-%-chunk=") then
  chunk = tonumber(args[1]:sub(9))
  table.remove(args, 1)
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
  -- The entity's file, resolved against the base, is fed to the child.
  externalentityref = function(p, child, base, systemId, publicId)
    local data = readFile(base .. "/" .. systemId)
    if not data then return 0 end
    if child:Parse(data) == 1 and child:Parse() == 1 then return 1 end
    return 0
  end,
}

for i = 2, #args do
  local relative = args[i]
  local path = suite .. "/" .. relative
  lines, pieces = {}, {}
  local data = assert(readFile(path), "cannot read " .. path)
  local p = xml.CreateParser(callbacks)
  p:SetBase((path:gsub("/[^/]*$", "")))
  local ok = true
  local size = chunk or math.max(#data, 1)
  for at = 1, #data, size do
    ok = ok and p:Parse(data:sub(at, at + size - 1)) == 1
  end
  ok = ok and p:Parse() == 1
  p:Free()
  flush()
  io.write("# ", relative, "\n")
  if #lines > 0 then io.write(table.concat(lines, "\n"), "\n") end
  io.write("= ", ok and 1 or 0, "\n")
end
