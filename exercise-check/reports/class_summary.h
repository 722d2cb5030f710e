// A class in numbers, for the page's and the terminal's summaries: how many passed each program,
// the mean and median points, how many people earned each number of points, the faults found.
#pragma once

#include "model.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace check {

struct ClassSummary {
    std::size_t people = 0;
    std::vector<std::size_t> passed; // for each exercise of the report: who earned its point
    int max_points = 0;              // the most anyone could earn
    double mean = 0;                 // points, over the people; 0 for none
    double median = 0;
    std::vector<std::size_t> people_with; // [p]: how many earned p points, 0 to max_points
    // The typical faults diagnosed and how many people had each, most first (of as many, the
    // first found first).
    std::vector<std::pair<std::string, std::size_t>> faults;
};

ClassSummary summarise(const Report& report);

// A number of points as a report shows it: 6, 6.5, 6.24 (at most two decimals).
std::string points_number(double points);

} // namespace check
