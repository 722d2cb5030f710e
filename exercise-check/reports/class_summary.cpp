#include "class_summary.h"

#include "points.h"
#include "report_class.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace check {

ClassSummary summarise(const Report& report)
{
    ClassSummary summary;
    summary.people = report.people.size();
    summary.passed.assign(report.exercises.size(), 0);
    std::vector<int> points;
    for (const PersonResult& person : report.people) {
        const Points earned = person_points(person, report.strict);
        points.push_back(earned.points);
        summary.max_points = std::max(summary.max_points, earned.max_points);
        for (std::size_t column = 0; column < report.exercises.size(); ++column) {
            const ProgramResult* result = find_result(person, report.exercises[column]);
            if (result != nullptr && program_points(*result, report.strict) > 0) {
                ++summary.passed[column];
            }
        }
    }
    summary.people_with.assign(static_cast<std::size_t>(summary.max_points) + 1, 0);
    for (const int earned : points) {
        ++summary.people_with[static_cast<std::size_t>(std::clamp(earned, 0, summary.max_points))];
    }
    if (!points.empty()) {
        double total = 0;
        for (const int earned : points) {
            total += earned;
        }
        summary.mean = total / static_cast<double>(points.size());
        std::sort(points.begin(), points.end());
        const std::size_t middle = points.size() / 2;
        summary.median =
            points.size() % 2 == 1 ? points[middle] : (points[middle - 1] + points[middle]) / 2.0;
    }
    summary.faults = class_counts(report).faults;
    std::stable_sort(summary.faults.begin(), summary.faults.end(),
                     [](const auto& one, const auto& other) { return one.second > other.second; });
    return summary;
}

std::string points_number(double points)
{
    const double rounded = std::round(points * 100) / 100;
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", rounded);
    std::string shown = text;
    while (shown.back() == '0') {
        shown.pop_back();
    }
    if (shown.back() == '.') {
        shown.pop_back();
    }
    return shown == "-0" ? "0" : shown;
}

} // namespace check
