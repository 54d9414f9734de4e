-- What the examples that read external entities share: documents and the
-- entities (and DTDs) they name read from files, each name resolved against
-- the base that Expat reports, and parse errors said as FILE:LINE:COLUMN.
-- An example loads it from its own folder:
--   local files = dofile((arg and arg[0] or ""):match("^(.-)[^/]*$") .. "entity_files.lua")
local files = {}

-- The whole file, or nil when it cannot be opened.
function files.read(name)
  local f = io.open(name, "rb")
  local text = f and f:read("*a")
  if f then f:close() end
  return text
end

-- The folder of a file name ("." for a name without one).
function files.directory(name)
  return name:match("^(.*)/[^/]*$") or "."
end

-- Parses text to its end with p: 1, or 0 after printing where it failed.
function files.parse(p, text, name)
  if p:Parse(text) == 1 and p:Parse() == 1 then return 1 end
  local message, line, column = p:GetError()
  print(string.format("%s:%d:%d: %s", name, line, column, message))
  return 0
end

-- The document at path through p, whose base is the document's folder (the
-- system ids it declares are resolved against that).
function files.parseFile(p, path)
  p:SetBase(files.directory(path))
  return files.parse(p, assert(files.read(path), "cannot read " .. path), path)
end

-- An "externalentityref" callback: the child is a parser object that lives
-- for this call only; it is fed the named file, with the file's folder as
-- its base, and its result lets parsing go on or not. opened(file), when
-- given, runs before the child parses.
function files.entityReader(opened)
  return function(p, child, base, systemId, publicId)
    local file = systemId
    if base and not systemId:match("^/") then file = base .. "/" .. systemId end
    local text = files.read(file)
    if not text then
      print("cannot read " .. file)
      return 0
    end
    if opened then opened(file) end
    child:SetBase(files.directory(file))
    return files.parse(child, text, file)
  end
end

return files
