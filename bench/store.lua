-- Saving and loading a table of COUNT values (default 1,000,000) in the
-- stand-in host: records of strings, numbers, nested tables and, in every
-- tenth record, a binary string.
--
--   velloran bench/store.lua xml|cjson FILE [COUNT]
--
-- xml:   velloran.WriteTable and velloran.ReadTable, "items" format;
-- cjson: Debian's lua-cjson encode and decode, with the file written and
--        read as a whole.
-- Prints "write=SECONDS read=SECONDS" (processor time of each way).
local mode, path, count = arg[1], arg[2], tonumber(arg[3] or 1000000)

-- Ten values per record: the record, name, id, price, flags and its three
-- numbers, meta and its tag.
local records = math.floor(count / 10)
local binary = {}
for i = 0, 15 do binary[#binary + 1] = string.char((i * 37 + 1) % 256) end
binary = table.concat(binary)

local t = {}
for i = 1, records do
  t[i] = {
    name = "item " .. i,
    id = i,
    price = i * 0.25,
    flags = {i % 2, i % 3, i % 5},
    meta = {tag = (i % 10 == 0) and binary or ("tag" .. (i % 100))},
  }
end

local write, read
if mode == "xml" then
  local options = {format = "items"}
  write = function() velloran.WriteTable(path, t, options) end
  read = function() return velloran.ReadTable(path, options) end
elseif mode == "cjson" then
  local cjson = require("cjson")
  write = function()
    local f = assert(io.open(path, "wb"))
    f:write(cjson.encode(t))
    f:close()
  end
  read = function()
    local f = assert(io.open(path, "rb"))
    local s = f:read("*a")
    f:close()
    return cjson.decode(s)
  end
else
  error("unknown mode " .. tostring(mode))
end

collectgarbage()
local start = os.clock()
write()
local middle = os.clock()
local back = read()
local finish = os.clock()
assert(#back == records and back[records].id == records, "table read back differs")
assert(back[10].meta.tag == t[10].meta.tag or records < 10, "binary string read back differs")
print(string.format("write=%.6f read=%.6f", middle - start, finish - middle))
