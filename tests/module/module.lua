-- Run by rock.sh with lua5.1 and luajit: the module in a plain program.
local vx = require "velloran.xml"
assert(rawget(_G, "xml") == nil and rawget(_G, "velloran") == nil)
-- collections at every event while parsers are alive
local names = {}
local cb = {startelement = function(p, name) names[#names + 1] = name; collectgarbage() end}
local p = vx.CreateParser(cb)
for i = 1, 3 do vx.CreateParser(cb):Parse("<x>") end
assert(p:Parse("<a><b/>") == 1 and p:Parse("</a>") == 1 and p:Parse() == 1)
assert(table.concat(names, " ") == "x x x a b", table.concat(names, " "))
-- a table through a file
local path, t = os.tmpname(), {volume = 0.75, recent = {"a.wav", "b.png"}, name = "caf\195\169"}
vx.WriteTable(path, t)
local back = vx.ReadTable(path)
assert(back.volume == 0.75 and back.recent[2] == "b.png" and back.name == t.name)
os.remove(path)
-- the README's examples (SerializeTable and DeserializeTable among them)
assert(loadfile((arg[0]:gsub("[^/]*/[^/]*$", "readme.lua"))))(arg[1], vx, vx)
print("ok")
