// Chooses where in a hand-in its sources are: the folder that holds the most of the programs,
// however deep the hand-in wraps it.
#pragma once

#include "model.h"

#include <filesystem>
#include <string>
#include <vector>

namespace check {

// Where in a hand-in its sources are: the folder, and how it was chosen where that is not
// obvious, and which sources were left out. shown_as names root in the note (alice, alice.zip).
struct HandIn {
    std::filesystem::path folder;
    std::string note;
};
HandIn find_hand_in(const std::filesystem::path& root, const std::string& shown_as,
                    const std::vector<Exercise>& exercises);

} // namespace check
