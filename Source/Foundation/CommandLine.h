// CommandLine.h - splits a program's command-line text into (name, value) pairs.
//
// Portable: no platform headers. The splitter knows no option set; each program decides which
// names it understands.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace Vorlix {

using OptionList = std::vector<std::pair<std::string, std::string>>;

// Appends the pairs found in `text` to `pairs`, in the order in which they stand. Never fails.
void splitCommandLine(const std::string& text, OptionList& pairs);

} // namespace Vorlix
