#include "hand_in_folder.h"

#include "folder_entries.h"
#include "sources.h"

#include <algorithm>
#include <string_view>

namespace check {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t deepest_wrapper = 8; // folders inside folders searched for the sources
constexpr std::size_t most_folders = 2000; // folders of one hand-in searched at most

bool is_group_folder(const std::string& name, const std::vector<Exercise>& exercises)
{
    return std::any_of(exercises.begin(), exercises.end(),
                       [&](const Exercise& exercise) { return exercise.folder == name; });
}

struct Candidate {
    fs::path folder;
    std::size_t programs = 0;
    std::size_t depth = 0;
    std::size_t unnamed = 0; // sources no name ties to a program, tried by their output
};

std::string shown(const std::string& shown_as, const fs::path& root, const fs::path& path)
{
    const fs::path relative = path.lexically_relative(root);
    return relative.empty() || relative == "." ? shown_as
                                               : (fs::path(shown_as) / relative).generic_string();
}

// Every folder of the hand-in that holds some of the programs, links not followed, junk skipped;
// the sources left out on the way.
// What a hand-in without sources holds instead, by kind: Windows programs, text, anything else.
struct Instead {
    std::vector<std::string> programs; // .exe
    std::vector<std::string> texts;    // .txt
    bool other = false;
};

bool has_ending(const std::string& name, std::string_view ending)
{
    if (name.size() <= ending.size()) {
        return false;
    }
    for (std::size_t at = 0; at < ending.size(); ++at) {
        const char c = name[name.size() - ending.size() + at];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != ending[at]) {
            return false;
        }
    }
    return true;
}

void search(const fs::path& root, const fs::path& folder, const std::vector<Exercise>& exercises,
            std::size_t depth, std::vector<Candidate>& found, std::size_t& visited, bool& anything,
            std::vector<std::string>& left_out, Instead& instead)
{
    if (++visited > most_folders) {
        return;
    }
    const FolderSources sources = sources_in(folder, exercises);
    const std::vector<std::string>& here = sources.notes;
    if (!sources.sources.empty() || !sources.unnamed.empty()) {
        found.push_back({folder, sources.sources.size(), depth, sources.unnamed.size()});
    }
    const fs::path relative = folder.lexically_relative(root);
    for (const std::string& line : here) {
        const std::string path = relative == "." ? line : (relative / line).generic_string();
        if (std::find(left_out.begin(), left_out.end(), path) == left_out.end()) {
            left_out.push_back(path);
        }
    }
    for (const fs::directory_entry& entry : sorted_entries(folder)) {
        const std::string name = entry.path().filename().string();
        if (is_junk(name)) {
            continue;
        }
        anything = true;
        std::error_code error;
        if (depth < deepest_wrapper && !entry.is_symlink(error) && entry.is_directory(error)) {
            search(root, entry.path(), exercises, depth + 1, found, visited, anything, left_out,
                   instead);
        } else if (!entry.is_directory(error)) {
            const std::string path = entry.path().lexically_relative(root).generic_string();
            if (has_ending(name, ".exe")) {
                instead.programs.push_back(path);
            } else if (has_ending(name, ".txt")) {
                instead.texts.push_back(path);
            } else {
                instead.other = true;
            }
        }
    }
}

std::string programs_text(std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " program" : " programs");
}

// The first few of the paths, in a root shown as shown_as: "alice/a.exe, alice/b.exe".
std::string named(const std::string& shown_as, const std::vector<std::string>& paths)
{
    constexpr std::size_t shown_at_most = 3;
    std::string text;
    for (std::size_t at = 0; at < paths.size() && at < shown_at_most; ++at) {
        text += (text.empty() ? "" : ", ") + shown_as + "/" + paths[at];
    }
    return paths.size() > shown_at_most
               ? text + " and " + std::to_string(paths.size() - shown_at_most) + " more"
               : text;
}

// Why a hand-in with files in it but no source of the exercises' has none: what it holds
// instead, where that is only Windows programs or text.
std::string without_sources(const std::string& shown_as, const Instead& instead)
{
    if (instead.other || (instead.programs.empty() && instead.texts.empty())) {
        return "none of the exercises' programs found in " + shown_as;
    }
    std::string what;
    if (!instead.programs.empty()) {
        what = instead.programs.size() == 1 ? "a Windows program" : "Windows programs";
        what += " (" + named(shown_as, instead.programs) + ")";
    }
    if (!instead.texts.empty()) {
        what += (what.empty() ? "" : " and ") + std::string("text") + " (" +
                named(shown_as, instead.texts) + ")";
    }
    return "handed in " + what +
           ", not the sources: each program's source is a .cpp file, none of them found";
}

} // namespace

HandIn find_hand_in(const fs::path& root, const std::string& shown_as,
                    const std::vector<Exercise>& exercises)
{
    std::vector<Candidate> found;
    std::size_t visited = 0;
    bool anything = false;
    std::vector<std::string> left_out;
    Instead instead;
    search(root, root, exercises, 0, found, visited, anything, left_out, instead);

    // digit-exercises/ and its siblings are part of the folder that holds them.
    std::vector<Candidate> candidates;
    for (const Candidate& candidate : found) {
        const bool part_of_parent =
            is_group_folder(candidate.folder.filename().string(), exercises) &&
            std::any_of(found.begin(), found.end(), [&](const Candidate& other) {
                return other.folder == candidate.folder.parent_path();
            });
        if (!part_of_parent) {
            candidates.push_back(candidate);
        }
    }
    // Folders that only hold sources no name ties to a program count where no folder holds a
    // named one: then the one that holds the most of them (its project folders with it).
    const bool named =
        std::any_of(candidates.begin(), candidates.end(),
                    [](const Candidate& candidate) { return candidate.programs > 0; });
    candidates.erase(std::remove_if(candidates.begin(), candidates.end(),
                                    [named](const Candidate& candidate) {
                                        return named && candidate.programs == 0;
                                    }),
                     candidates.end());

    HandIn hand_in{root, ""};
    if (candidates.empty()) {
        hand_in.note = anything ? without_sources(shown_as, instead) : "nothing handed in";
    } else {
        // The most programs; of as many, the most other sources, then the least deep; of those,
        // the first by name.
        const auto best = std::min_element(
            candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
                return a.programs != b.programs ? a.programs > b.programs
                       : a.unnamed != b.unnamed ? a.unnamed > b.unnamed
                                                : a.depth < b.depth;
            });
        hand_in.folder = best->folder;
        if (candidates.size() == 1 || !named) {
            if (best->depth >= 2) {
                hand_in.note = "sources found in " + shown(shown_as, root, best->folder);
            }
        } else {
            hand_in.note = "sources found in " + shown(shown_as, root, best->folder) + " (" +
                           programs_text(best->programs) + "); not checked:";
            const char* separator = " ";
            for (const Candidate& other : candidates) {
                if (other.folder != best->folder) {
                    hand_in.note += separator + shown(shown_as, root, other.folder) + " (" +
                                    programs_text(other.programs) + ")";
                    separator = ", ";
                }
            }
        }
    }
    for (const std::string& line : left_out) {
        hand_in.note += (hand_in.note.empty() ? "" : "; ") + shown_as + "/" + line;
    }
    return hand_in;
}

} // namespace check

namespace check {

std::vector<std::string> several_hand_ins(const fs::path& given,
                                          const std::vector<Exercise>& exercises, bool unwrap)
{
    fs::path folder = given;
    for (std::size_t depth = 0; unwrap && depth < deepest_wrapper; ++depth) {
        std::vector<fs::directory_entry> inside = sorted_entries(folder);
        inside.erase(std::remove_if(inside.begin(), inside.end(),
                                    [](const fs::directory_entry& entry) {
                                        return is_junk(entry.path().filename().string());
                                    }),
                     inside.end());
        std::error_code error;
        if (inside.size() != 1 || !inside.front().is_directory(error) ||
            inside.front().is_symlink(error) ||
            is_group_folder(inside.front().path().filename().string(), exercises)) {
            break;
        }
        folder = inside.front().path();
    }
    std::vector<std::string> hand_ins;
    for (const fs::directory_entry& entry : sorted_entries(folder)) {
        const std::string name = entry.path().filename().string();
        std::error_code error;
        if (is_junk(name)) {
            continue;
        }
        if (!entry.is_directory(error) || entry.is_symlink(error)) {
            if (is_source_name(name)) {
                return {}; // sources of the folder's own: one person's
            }
            continue;
        }
        if (is_group_folder(name, exercises) || is_build_folder(name)) {
            continue;
        }
        const HandIn hand_in = find_hand_in(entry.path(), name, exercises);
        if (sources_in(hand_in.folder, exercises).sources.size() >= 2) {
            hand_ins.push_back(name);
        }
    }
    // Two may be one person's two versions (old/ and new/): the note names the one not checked.
    return hand_ins.size() >= 3 ? hand_ins : std::vector<std::string>{};
}

} // namespace check
