// What the command line says of itself: --help wrapped to the terminal, the manual page, the
// shells' completions, and the option meant by one mistyped.
#pragma once

#include "options.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace check {

// The width to wrap to: COLUMNS where it is a number, else the terminal's of the file
// descriptor, else 80.
std::size_t terminal_width(const char* columns, int descriptor);

// The command's options by group, then examples and the exit statuses, within width columns.
std::string help_text(const CommandDoc& command, std::size_t width);

// The manual page, in troff's man macros.
std::string man_page(const std::vector<CommandDoc>& commands, std::string_view version);

// The completion script of the shell: bash or zsh.
std::string completion(const std::vector<CommandDoc>& commands, std::string_view shell);

// Every option's names: "--json", "-j", ... of every command.
std::vector<std::string> option_names(const std::vector<CommandDoc>& commands);

// The edits (a byte put in, left out, changed, or two side by side swapped) from one to other.
std::size_t edit_distance(std::string_view one, std::string_view other);

// The option of names closest to the one typed, where it is close enough to be the one meant.
std::optional<std::string> closest_option(const std::vector<std::string>& names,
                                          std::string_view typed);

} // namespace check
