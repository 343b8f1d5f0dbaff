// vloinfo: reads a VLO model, checks every structural invariant and prints a summary (or JSON).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tools {

// Exit status 0: a valid file; 1: an invalid file; 2: bad usage or an unreadable file.
int RunVloInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tools
