-- Saves a settings table as XML and loads it back.
--
--   velloran examples/settings.lua [FILE]
local path = arg[1] or os.tmpname()

local settings = {
  window = {width = 800, height = 600, fullscreen = false, title = "Velloran & friends"},
  recent = {"intro.wav", "logo.png", "notes.txt"},
  volume = 0.75,
  shortcuts = {play = "Space", stop = "Escape"},
}

velloran.WriteTable(path, settings)
print("Saved to " .. path .. ":")
local file = assert(io.open(path, "rb"))
io.write(file:read("*a"))
file:close()

local loaded = velloran.ReadTable(path)
print(string.format("Loaded back: window %dx%d, volume %g, %d recent files, first %q",
                    loaded.window.width, loaded.window.height, loaded.volume, #loaded.recent,
                    loaded.recent[1]))
if not arg[1] then os.remove(path) end
