// The two programs run as a user runs them, in-process: arguments in, exit status and both output
// streams out.
#pragma once

#include <string>
#include <vector>

namespace support {

struct ToolRun {
    int status = 0;
    std::string out, err;
    // The lines of stderr that start with prefix ("error: ", "warning: ").
    std::vector<std::string> Lines(const std::string& prefix) const;
};

ToolRun RunVloExport(const std::vector<std::string>& args);
ToolRun RunVloInfo(const std::vector<std::string>& args);

}  // namespace support
