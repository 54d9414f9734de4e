-- Writes every event of a document as one line, for comparing two builds:
--
--   velloran bench/dump_events.lua FILE CHUNK MERGE [three|all]
--
-- CHUNK: bytes per Parse call (0: the whole text in one call); MERGE: the
-- merge argument of CreateParser. Attributes are written in sorted order.
local path, chunk, merge, mode = arg[1], tonumber(arg[2]), tonumber(arg[3]), arg[4] or "three"
local out = io.stdout
out:setvbuf("full")

local function quote(s) return (string.format("%q", s):gsub("\n", "n")) end
local function dump(tag)
  return function(_, ...)
    local line = {tag}
    for i = 1, select("#", ...) do
      local v = select(i, ...)
      if type(v) == "table" then
        local keys = {}
        for k in pairs(v) do keys[#keys + 1] = tostring(k) end
        table.sort(keys)
        for j, k in ipairs(keys) do keys[j] = k .. "=" .. quote(tostring(v[k])) end
        v = "{" .. table.concat(keys, " ") .. "}"
      elseif type(v) == "string" then
        v = quote(v)
      end
      line[#line + 1] = tostring(v)
    end
    out:write(table.concat(line, " "), "\n")
  end
end

local three = {"startelement", "endelement", "characterdata"}
local all = {"startcdatasection", "endcdatasection", "characterdata", "comment",
             "defaultexpand", "startelement", "endelement", "startnamespacedecl",
             "endnamespacedecl", "notationdecl", "processinginstruction",
             "unparsedentitydecl", "startdoctypedecl", "entitydecl", "attlistdecl",
             "elementdecl", "enddoctypedecl", "skippedentity", "xmldecl"}
local callbacks = {}
for _, key in ipairs(mode == "all" and all or three) do callbacks[key] = dump(key) end

local f = assert(io.open(path, "rb"))
local text = f:read("*a")
f:close()
local p = xml.CreateParser(callbacks, nil, merge)
local ok = 1
if chunk == 0 then
  ok = p:Parse(text)
else
  for i = 1, #text, chunk do
    ok = p:Parse(text:sub(i, i + chunk - 1))
    if ok ~= 1 then break end
  end
end
if ok == 1 then ok = p:Parse() end
out:write("result ", ok, " ", tostring(p:GetError()), "\n")
p:Free()
