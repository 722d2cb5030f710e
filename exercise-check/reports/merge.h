// A class checked in shards put back together: the JSON reports read back and joined into the
// report one run would have given.
#pragma once

#include "model.h"

#include <istream>
#include <string>
#include <vector>

namespace check {

// A JSON report read back, with the SHA-256 of each program's source ("source_sha256", empty
// where the report has none): digests[person][program], as in report.people.
struct ReadReport {
    Report report;
    std::vector<std::vector<std::string>> digests;
};

// Reads a report as write_json writes it; keys it does not know are passed over. The exercises
// are those of the catalogue named by the programs, in the programs' order. Throws
// std::runtime_error, saying what is wrong, for what is not such a report: broken JSON, a verdict
// or a program it does not know, people whose programs differ.
ReadReport read_json_report(std::istream& in, const std::vector<Exercise>& catalogue);

// The shards' reports as one: every person once, in name order; the exercises, strict and the
// sandbox the same in all (the sandbox "none" if any ran without one); who handed in the same
// source found again across all shards from the digests. Throws std::runtime_error when the
// parts do not fit together: other exercises, strict in some only, a person in two parts, a
// source without its digest.
Report merge_reports(const std::vector<ReadReport>& parts);

// Reads each file and merges them; the error names the file.
Report merge_report_files(const std::vector<std::string>& paths,
                          const std::vector<Exercise>& catalogue);

} // namespace check
