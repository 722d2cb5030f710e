// A learner's watch: one folder checked, then each program again as its source is saved, its
// verdict and the folder's summary shown, until the learner interrupts it.
#pragma once

#include "model.h"
#include "report.h"
#include "translation.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace check {

// How long a save has to settle: an editor's save may be several writes, or a file written and
// moved into place.
constexpr std::chrono::milliseconds save_settles{50};

// The folder's summary in one line, as the terminal's report ends a person's:
// "ann: 8 correct, 1 wrong, 0 does not compile, 0 absent", in the learner's language.
std::string summary_line(const PersonResult& person, const Translation& tr = {});

// The programs of the report whose sources are among the files saved.
std::vector<std::string> programs_saved(const PersonResult& person,
                                        const std::vector<std::filesystem::path>& saved);

// Watches folder: check() checks it, at once and again after each save of a source in it; the
// first report is written whole, each later one as the programs saved and the summary. Ends only
// when interrupted (as an interrupted check ends), or after rechecks re-checks when that is not
// negative. Between the first report and the first save, prepare (when given) readies what makes
// the later checks quicker.
void watch(const std::filesystem::path& folder, const std::function<Report()>& check,
           const TerminalStyle& style, std::ostream& out, int rechecks = -1,
           const std::function<void(const Report&)>& prepare = {});

} // namespace check
