// What a class's reports share: people in name order, each program's verdict and its look, and
// who handed in the same sources.
#pragma once

#include "model.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace check {

std::vector<const PersonResult*> in_name_order(const Report& report);

// The person's result for the exercise, or nullptr when there is none.
const ProgramResult* find_result(const PersonResult& person, const Exercise& exercise);

ProgramVerdict verdict_of(const ProgramResult* result);

// The exercise's column in a narrow table: its short name, or its name's first four letters
// where the catalogue gives none.
std::string short_name(const Exercise& exercise);

// The person's points out of the most they could have: "7/9".
std::string points_shown(const PersonResult& person, bool strict);

// A verdict's symbol in a table, its colour on a terminal and its words in a key.
struct Look {
    std::string_view symbol;
    std::string_view colour;
    std::string_view words;
};

Look look_of(ProgramVerdict verdict);

// Every verdict, in the order of a key.
constexpr ProgramVerdict all_verdicts[] = {ProgramVerdict::correct, ProgramVerdict::wrong,
                                           ProgramVerdict::does_not_compile,
                                           ProgramVerdict::absent};

// People who handed in the same bytes, and for which programs.
struct SameSources {
    std::vector<std::string> people; // in name order
    std::vector<std::string> programs;
};

std::vector<SameSources> same_sources(const Report& report);

// "every program" when the list holds them all, else the names: "circle, greetings".
std::string programs_named(const Report& report, const std::vector<std::string>& names);

} // namespace check
