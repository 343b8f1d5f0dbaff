// Parsing a program's command line with CLI11 the same way in every tool: --help prints the help on
// stdout (exit 0), a usage error prints "error: ..." and where to find the options on stderr (exit 2).
#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tools {

// nullopt to go on; else the exit status. check, when given, runs after parsing and may throw a
// CLI::ParseError for a combination of options that does not go together.
inline std::optional<int> ParseCommandLine(CLI::App& app, const std::vector<std::string>& args, std::ostream& out,
                                           std::ostream& err, const std::function<void()>& check = {}) {
    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
        if (check) check();
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return 0;
    } catch (const CLI::ParseError& e) {
        err << "error: " << e.what() << "\nRun '" << app.get_name() << " --help' for the options.\n";
        return 2;
    }
    return std::nullopt;
}

}  // namespace tools
