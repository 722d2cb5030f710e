// Prose wrapped within a width, for the terminal's report and the command line's help.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace check {

// The words of text in lines within width columns: the first begins at column first (the
// caller has written that much of it), the others at indent. A word longer than a line has one
// of its own. Each line ends in '\n'.
std::string wrapped(std::string_view text, std::size_t width, std::size_t indent,
                    std::size_t first = 0);

} // namespace check
