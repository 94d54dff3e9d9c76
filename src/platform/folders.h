#pragma once
// Where the program's files live.
//
// ProgramFolder: the folder of the running executable; language/, content/,
// local.dat and oem.ini sit beside the executable.
// DataFolder: the per-user folder ($XDG_CONFIG_HOME, default ~/.config, + "/Norvane")
// that holds config.ini, the cache, the favourites and the update files.
// Both are process-wide and filled once at start (ServiceEndpoints::initialize);
// neither has a trailing separator.
#include <string>

namespace norvane {

extern std::string ProgramFolder;
extern std::string DataFolder;

// The folder of /proc/self/exe; empty when it cannot be read.
std::string locateProgramFolder();

// $XDG_CONFIG_HOME (or $HOME/.config) + "/Norvane"; empty when neither
// variable gives an absolute folder. Does not create anything.
std::string locateDataFolder();

// Creates the folder and any missing parents; true when it exists afterwards.
bool ensureFolder(const std::string& path);

bool fileExists(const std::string& path);

// folder + "/" + name, nothing normalised: a folder ending in "/" gives a
// doubled separator and an empty name gives a path ending in "/".
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace norvane
