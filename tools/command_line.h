// Parsing a program's command line with CLI11 the same way in every tool: --help prints the help on
// stdout (exit 0), a usage error prints "error: ..." and where to find the options on stderr (exit 2); a
// misspelt option is named with the one nearest in spelling.
#pragma once

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tools {

namespace detail {

// The number of single-character insertions, deletions and substitutions that turn a into b.
inline std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace detail

// The candidate nearest to name in spelling, compared without case, or "" when none is within
// maxDistance edits; the first of equally near ones.
inline std::string NearestInSpelling(const std::string& name, const std::vector<std::string>& candidates, std::size_t maxDistance) {
    auto lower = [](std::string text) {
        for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    std::string nearest;
    std::size_t best = maxDistance + 1;
    for (const std::string& candidate : candidates)
        if (const std::size_t d = detail::EditDistance(lower(name), lower(candidate)); d < best) best = d, nearest = candidate;
    return nearest;
}

// How many edits a misspelling of a name of that length may be away: a quarter of it, at least 2.
inline std::size_t MisspellingTolerance(std::size_t length) { return std::max<std::size_t>(2, length / 4); }

namespace detail {

// What the command line held that no option or argument takes, in the order given: the first
// unknown option, with the option nearest in spelling when one is near, else the stray arguments.
inline std::string Unexpected(const CLI::App& app) {
    const std::vector<std::string> extras = app.remaining();
    for (const std::string& arg : extras) {
        if (arg.size() < 2 || arg[0] != '-') continue;
        const std::string name = arg.substr(0, arg.find('='));
        std::vector<std::string> names;
        for (const CLI::Option* option : app.get_options()) {
            for (const std::string& l : option->get_lnames()) names.push_back("--" + l);
            for (const std::string& s : option->get_snames()) names.push_back("-" + s);
        }
        // A one-letter option is offered only for the other case of its letter.
        const std::string nearest = NearestInSpelling(name, names, name.size() <= 2 ? 0 : MisspellingTolerance(name.size()));
        return "unknown option " + name + (nearest.empty() ? "" : " (did you mean " + nearest + "?)");
    }
    std::string list;
    for (const std::string& arg : extras) list += (list.empty() ? "'" : ", '") + arg + "'";
    return std::string(extras.size() == 1 ? "unexpected argument " : "unexpected arguments ") + list;
}

}  // namespace detail

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
    } catch (const CLI::ExtrasError&) {
        err << "error: " << detail::Unexpected(app) << "\nRun '" << app.get_name() << " --help' for the options.\n";
        return 2;
    } catch (const CLI::ParseError& e) {
        err << "error: " << e.what() << "\nRun '" << app.get_name() << " --help' for the options.\n";
        return 2;
    }
    return std::nullopt;
}

}  // namespace tools
