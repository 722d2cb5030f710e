// Ties each person's sources to the exercises: by name, by folder, by the teacher's map, and where
// none of these does, by what a source prints on an exercise's plain case.
#pragma once

#include "build.h"
#include "check.h"
#include "runner.h"
#include "sources.h"

#include <cstddef>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace check {

// How much an output resembles the expected: the words and numbers they have in common, as a
// share of all of both (1 the same, 0 none in common); case and punctuation do not count.
double resemblance(std::string_view expected, std::string_view actual);

// An output must resemble the expected at least this much for its source to be taken as the
// program: a right program scores 1, a wrong one with a number or a word amiss well above it,
// another exercise's program or an unrelated one below it.
constexpr double least_resemblance = 0.6;

// For scores[source][exercise], the exercise each source is taken as (or npos): the highest
// scores first, one source per exercise and one exercise per source, none below least.
std::vector<std::size_t> assign_by_resemblance(const std::vector<std::vector<double>>& scores,
                                               double least = least_resemblance);

// Locates every person's sources in their folders: by name, then by settings.map, then each
// source left by its output (each built once and run once on each remaining exercise's plain
// case, in the sandbox, settings.jobs at a time), for the exercises given.
std::vector<LocatedSources> locate_sources(const std::vector<Person>& people,
                                           const Settings& settings,
                                           const std::vector<Exercise>& exercises, Runner& runner);

} // namespace check
