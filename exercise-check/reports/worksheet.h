// Moodle's grading worksheet: the CSV an assignment downloads for offline grading, filled in with
// each person's grade and a short summary, every other byte left as it was.
#pragma once

#include "model.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace check {

// One person's grade as the worksheet receives it.
struct Graded {
    std::string name; // the full name, as the worksheet's "Full name" has it
    std::string id;   // the participant number (1001 of "Participant 1001"), empty if unknown
    int points = 0;
    int max_points = 0;
    std::string feedback; // one line: "7/9 points. twodigits correct; circle wrong: ..."
};

// A hand-in folder of Moodle's download, "Ana Marić_1001_assignsubmission_file_", split into the
// full name and the participant number; nothing when the name has another form.
struct Participant {
    std::string name;
    std::string id;
};
std::optional<Participant> moodle_participant(std::string_view folder_name);

// Each person of the report who handed in a program, with points and feedback; the name and
// participant number come from a folder name in Moodle's download form, where it has one.
std::vector<Graded> graded_people(const Report& report);

struct WorksheetOutcome {
    std::string text;                   // the worksheet filled in, byte-order mark kept
    std::size_t graded = 0;             // rows given a grade
    std::vector<std::string> unmatched; // people whose row was not found (or not one row)
    std::vector<std::string> problems;  // rows that could not be graded, and why
};

// The worksheet's columns by the teacher's names, for a worksheet whose headers are in another
// language than the names known: each empty one is found by its known name.
struct WorksheetColumns {
    std::string grade;      // grade=
    std::string maximum;    // max=
    std::string identifier; // id=
    std::string name;       // name=
    std::string feedback;   // feedback=
};

// --worksheet-columns grade=Ocjena,max=...,id=...,name=...,feedback=...: any of them, each once.
// Throws std::runtime_error saying what is wrong.
WorksheetColumns parse_worksheet_columns(std::string_view text);

// Fills in "Grade" (points / max_points x the row's "Maximum Grade", two decimals, the decimal
// mark the row's maximum uses) and "Feedback comments" of each row matched: by the participant
// number of "Identifier" ("Participant 1001") when the person's id is known, else by "Full name"
// when exactly one row has it. Rows of people with no hand-in, every other cell, the line ends
// and the byte-order mark stay as they were. The columns are found by the names given in named,
// else by the names Moodle gives them (in English). Throws std::runtime_error, saying what is
// wrong, when the text is not a worksheet: broken quoting, or no grade, maximum, identifier or
// full name column; then it names the columns the worksheet has.
WorksheetOutcome fill_worksheet(std::string_view worksheet, const std::vector<Graded>& graded,
                                const WorksheetColumns& named = {});

// The fields of each record of a CSV text, quotes removed; RFC 4180 with LF or CRLF line ends.
// Throws std::runtime_error on a quote that is never closed or text after a closing quote.
std::vector<std::vector<std::string>> read_csv(std::string_view text);

// Reads in_path, fills it in and writes out_path through a file beside it renamed into place.
// Refuses (std::runtime_error) when out_path is in_path, by name or as the same file.
WorksheetOutcome write_worksheet_file(const std::string& in_path, const std::string& out_path,
                                      const std::vector<Graded>& graded,
                                      const WorksheetColumns& named = {});

} // namespace check
