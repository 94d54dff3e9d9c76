#pragma once
// Area look-ups of norvane-cli on the knowledge database beside the program
// (local.dat): the area tree, a county's place text and coordinates, and the
// longitude that --county stands for in the naming commands.
#include <ostream>
#include <string>

#include "cli/options.h"

namespace norvane::cli {

// ProgramFolder + "/local.dat".
std::string knowledgeDbFile();

// areas [--parent ID]: the children of an area (the provinces without
// --parent) as a JSON array of {"id", "name"}.
int listAreas(const Options& options, std::ostream& out, std::ostream& err);

// place --county ID: {"id", "place", "mergerName", "longitude", "latitude"},
// the place text shortened as the reports show it and the coordinates cut to
// two decimals.
int showPlace(const Options& options, std::ostream& out, std::ostream& err);

// The county's longitude from the knowledge database; false with a message
// for the user when the database cannot be read or has no such county.
bool countyLongitude(int county, float& longitude, std::string& error);

}  // namespace norvane::cli
