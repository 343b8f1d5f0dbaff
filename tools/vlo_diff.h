// vloinfo diff: two models or two animations compared by meaning, for reviewing what a re-export
// changed: header and flags, counts, names, and the largest change of every kind of value, with
// where it is.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tools {

// vloinfo diff A B [--tolerance T] [--json]. Exit status 0: the same within the tolerance; 1: they
// differ; 2: bad usage, or a file that cannot be read or is not valid.
int RunVloDiff(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tools
