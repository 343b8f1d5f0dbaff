// vloexport: a scene file in, a VLO model out, with every option of the exporter's options dialog
// as a flag (applied by driving the dialog, so the dialog's own rules hold).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tools {

// Runs the program with args (without the program name); reports go to out, diagnostics to err.
int RunVloExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tools
