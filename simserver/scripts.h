#pragma once
// SQL scripts built into the server (see cmake/EmbedText.cmake), by file name.

#include <map>
#include <string>

namespace sim {

const std::map<std::string, std::string>& embeddedScripts();

} // namespace sim
