/*
 * The plugin loader: opens the plugin file, checks its header, resolves the
 * fifteen entry points through the plugin's resolver and calls InitPlugin
 * with the host's services table. A plugin is loaded once per process.
 */
#ifndef VELLORAN_LOADER_H
#define VELLORAN_LOADER_H

#include <string>
#include <vector>

#include "host/abi.h"

namespace velloran {

/* One library of a plugin as its tables describe it. */
struct Library {
  std::string base;                /* "xml", or "parser:" for a method library */
  const CommandRecord *commands;   /* ended by a null name */
  const HelpRecord *help;          /* one record per command, or null */
  const ConstantRecord *constants; /* ended by a null name, or null */
  bool methods;                    /* the base name ends with ':' */
  std::string metatable;           /* for method libraries: "xml.vlp.parser" */
};

/* One loaded and initialised plugin. */
struct Plugin {
  void *handle;
  const PluginHeaderRecord *header;
  PluginInfo info;
#define PLUGIN_ENTRY_FIELD(name) name##Func name;
  PLUGIN_ENTRY_POINTS(PLUGIN_ENTRY_FIELD)
#undef PLUGIN_ENTRY_FIELD
};

/* Loads the plugin file (once per file per process: later calls return the
   same Plugin) and initialises it. On failure returns null and sets *error
   to one line naming the file and the fault. */
const Plugin *loadPlugin(const char *path, std::string *error);

/* The libraries of a loaded plugin, read from its tables at load time. */
const std::vector<Library> &pluginLibraries(const Plugin *plugin);

/* The help text of a command named as a script names it ("xml.CreateParser",
   "parser:Parse"); null for an unknown command or one without help. */
const char *commandHelp(const Plugin *plugin, const char *name);

} // namespace velloran

#endif
