// The nine programs a person may hand in: name, folder of the source, group of the cases.
#pragma once

#include <array>
#include <string_view>

namespace check {

struct Program {
    std::string_view name;   // twodigits
    std::string_view folder; // digit-exercises
    std::string_view group;  // digits
};

const std::array<Program, 9>& programs();

// The program of that name, or nullptr.
const Program* find_program(std::string_view name);

} // namespace check
