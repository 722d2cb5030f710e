// Shows the paths of a report that lead into the copies of the hand-ins as they were handed in.
#pragma once

#include "model.h"

#include <filesystem>

namespace check {

// The paths in the report that lead into the copies under work, as they were handed in:
// <class>/alice.zip/alice/twodigits.cpp, in sources, folders and compiler messages.
void show_as_handed_in(Report& report, const std::filesystem::path& folder,
                       const std::filesystem::path& work);

} // namespace check
