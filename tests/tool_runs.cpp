#include "tool_runs.h"

#include <sstream>

#include "tools/vloexport.h"
#include "tools/vloinfo.h"

namespace support {

std::vector<std::string> ToolRun::Lines(const std::string& prefix) const {
    std::vector<std::string> lines;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    return lines;
}

ToolRun RunVloExport(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = tools::RunVloExport(args, out, err);
    return {status, out.str(), err.str()};
}

ToolRun RunVloInfo(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = tools::RunVloInfo(args, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace support
