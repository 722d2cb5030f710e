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

// The folders directly in folder that each hold a hand-in of their own (two of the exercises'
// programs or more, by name, in it or in a folder it wraps), by name; empty unless there are
// three such or more and folder holds no source beside them: then folder is several people's
// hand-ins, never one person's. (Two may be one person's two versions, one of which the hand-in's
// note names as not checked.) With unwrap, folders that hold only another are passed through
// first.
std::vector<std::string> several_hand_ins(const std::filesystem::path& folder,
                                          const std::vector<Exercise>& exercises,
                                          bool unwrap = true);

} // namespace check
