#include "sources.h"

#include "text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <map>
#include <optional>
#include <set>

namespace check {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t deepest_project = 2; // folders inside a project folder searched

std::string lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool is_hidden(const std::string& name)
{
    return name.empty() || name.front() == '.' || name == "__MACOSX";
}

std::string stem_of(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// A file a folder holds, as it lies there.
struct File {
    fs::path path;
    std::string shown; // relative to the folder, safe to show
    bool link = false;
    std::uintmax_t size = 0;
};

// The sources in dir and the folders in it, to depth folders down, links noted and not followed.
void sources_under(const fs::path& dir, const fs::path& folder, std::size_t depth,
                   std::vector<File>& found)
{
    std::error_code error;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        entries.push_back(*it);
    }
    std::sort(entries.begin(), entries.end());
    for (const fs::directory_entry& entry : entries) {
        const std::string name = entry.path().filename().string();
        if (is_hidden(name)) {
            continue;
        }
        const fs::file_status status = entry.symlink_status(error);
        const std::string shown =
            terminal_line(entry.path().lexically_relative(folder).generic_string());
        if (fs::is_directory(status)) {
            if (depth > 0 && !is_build_folder(name)) {
                sources_under(entry.path(), folder, depth - 1, found);
            }
        } else if (is_source_name(name) &&
                   (fs::is_symlink(status) || fs::is_regular_file(status))) {
            found.push_back({entry.path(), shown, fs::is_symlink(status),
                             fs::is_regular_file(status) ? entry.file_size(error) : 0});
        }
    }
}

std::string head_of(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::array<char, 4096> buffer{};
    in.read(buffer.data(), buffer.size());
    return std::string(buffer.data(), static_cast<std::size_t>(in.gcount()));
}

// Where a file lies in a folder: the folder itself, an exercises' folder (digit-exercises/), or
// a project folder (then project is its name, loosely).
enum class Place {
    folder,
    exercises_folder,
    project
};

// Choosing the sources of one folder: its files, those taken or left out so far, and the notes.
class Choosing {
  public:
    Choosing(const fs::path& folder, const std::vector<Exercise>& exercises) : folder_(folder)
    {
        sources_under(folder, folder, deepest_project + 1, files_);
        for (const Exercise& exercise : exercises) {
            if (!exercise.folder.empty()) {
                group_folders_.insert(exercise.folder);
            }
        }
    }

    // The source taken as the exercise, and how, if any: <name>.cpp in the folder or in the
    // exercise's own folder there, else one named loosely after it, else a project's.
    std::optional<Source> choose(const Exercise& exercise, std::vector<std::string>& notes)
    {
        std::vector<const File*> exact_name;
        std::vector<const File*> by_name;
        std::vector<const File*> in_project;
        sort_out(exercise, exact_name, by_name, in_project);
        const File* taken = nullptr;
        std::string how;
        for (const auto& [group, said] :
             {std::pair{&exact_name, ""}, std::pair{&by_name, "by its name"}}) {
            for (const File* file : *group) {
                if (taken == nullptr && usable(*file, notes)) {
                    taken = file;
                    how = said;
                } else if (taken != nullptr && used_.count(file) == 0) {
                    notes.push_back(file->shown + " is named after " + exercise.name +
                                    " too: left out, " + taken->shown + " taken");
                    used_.insert(file);
                }
            }
        }
        if (taken == nullptr && !in_project.empty()) {
            // A project's main.cpp, or its one source.
            const auto main =
                std::find_if(in_project.begin(), in_project.end(), [](const File* file) {
                    return lower(file->path.filename().string()) == "main.cpp";
                });
            const File* pick = main != in_project.end() ? *main
                               : in_project.size() == 1 ? in_project.front()
                                                        : nullptr;
            if (pick != nullptr && usable(*pick, notes)) {
                taken = pick;
                how = "by its folder";
            }
        }
        if (taken == nullptr) {
            return std::nullopt;
        }
        used_.insert(taken);
        return Source{&exercise, taken->path, how};
    }

    // The sources no exercise took, that may be read, in name order.
    std::vector<fs::path> unnamed(std::vector<std::string>& notes)
    {
        std::vector<fs::path> paths;
        for (const File& file : files_) {
            if (used_.count(&file) == 0 && usable(file, notes)) {
                paths.push_back(file.path);
            }
        }
        std::sort(paths.begin(), paths.end(), [](const fs::path& a, const fs::path& b) {
            return name_order(a.generic_string(), b.generic_string());
        });
        return paths;
    }

  private:
    Place place(const File& file, std::string& project) const
    {
        const fs::path relative = file.path.lexically_relative(folder_);
        std::vector<std::string> parts;
        for (const fs::path& part : relative.parent_path()) {
            parts.push_back(part.string());
        }
        if (!parts.empty() && group_folders_.count(parts.front()) > 0) {
            parts.erase(parts.begin());
            if (parts.empty()) {
                return Place::exercises_folder;
            }
        }
        if (parts.empty()) {
            return Place::folder;
        }
        project = loose_name(parts.front());
        return Place::project;
    }

    // The files not yet taken that the exercise's name ties to it: exactly, the folder itself
    // first; loosely; by their project's name.
    void sort_out(const Exercise& exercise, std::vector<const File*>& exact_name,
                  std::vector<const File*>& by_name, std::vector<const File*>& in_project) const
    {
        const std::string exact = exercise.name + ".cpp";
        const std::string loose = loose_name(exercise.name);
        for (const File& file : files_) {
            if (used_.count(&file) > 0) {
                continue;
            }
            std::string project;
            const Place where = place(file, project);
            const std::string name = file.path.filename().string();
            const bool exact_here =
                name == exact &&
                (where == Place::folder || (where == Place::exercises_folder &&
                                            file.path.parent_path().filename() == exercise.folder));
            if (exact_here) {
                exact_name.push_back(&file);
            } else if (where != Place::project && loose_name(stem_of(name)) == loose) {
                by_name.push_back(&file);
            } else if (where == Place::project && project == loose) {
                in_project.push_back(&file);
            }
        }
        // The folder itself before the exercise's folder, as they are sorted.
        std::stable_sort(exact_name.begin(), exact_name.end(), [&](const File* a, const File* b) {
            return a->path.parent_path() == folder_ && b->path.parent_path() != folder_;
        });
    }

    // Whether the file may be read as a source: not a link, not over 1 MiB. A file that may not
    // is noted once, and counts as used.
    bool usable(const File& file, std::vector<std::string>& notes)
    {
        if (file.link) {
            notes.push_back(file.shown + " is a link: left out");
            used_.insert(&file);
            return false;
        }
        if (file.size > largest_source) {
            notes.push_back(file.shown + " is larger than 1 MiB: left out");
            used_.insert(&file);
            return false;
        }
        return true;
    }

    fs::path folder_;
    std::vector<File> files_;
    std::set<std::string> group_folders_;
    std::set<const File*> used_;
};

// Notes each source that is no text; an unnamed one is left out, not tried.
void leave_out_non_text(const fs::path& folder, FolderSources& result)
{
    for (Source& source : result.sources) {
        const std::string why = not_plain_text(head_of(source.path));
        if (!why.empty()) {
            result.notes.push_back(
                terminal_line(source.path.lexically_relative(folder).generic_string()) + " " + why);
        }
    }
    std::vector<fs::path> text;
    std::size_t not_text = 0;
    for (const fs::path& path : result.unnamed) {
        const std::string why = not_plain_text(head_of(path));
        if (why.empty()) {
            text.push_back(path);
        } else if (++not_text <= most_named) {
            result.notes.push_back(terminal_line(path.lexically_relative(folder).generic_string()) +
                                   " " + why);
        }
    }
    if (not_text > most_named) {
        result.notes.push_back(std::to_string(not_text - most_named) +
                               " more sources that are no text left out");
    }
    result.unnamed = text;
}

} // namespace

std::string loose_name(std::string_view name)
{
    std::string out;
    for (const char c : name) {
        if (c != ' ' && c != '_' && c != '-' && c != '.' && c != '\t') {
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return out;
}

bool is_source_name(std::string_view name)
{
    const std::string text = lower(name);
    for (const std::string ending : {".cpp", ".cc", ".cxx", ".c++"}) {
        if (text.size() > ending.size() &&
            text.compare(text.size() - ending.size(), ending.size(), ending) == 0) {
            return true;
        }
    }
    return false;
}

bool is_build_folder(std::string_view name)
{
    static const std::set<std::string> names{"bin",  "obj",        "debug", "release",
                                             "x64",  "x86",        "build", "out",
                                             "ipch", "cmakefiles", "win32", "arm64"};
    const std::string text = lower(name);
    return names.count(text) > 0 || text.rfind("cmake-build-", 0) == 0 ||
           (!text.empty() && text.front() == '.');
}

std::string not_plain_text(std::string_view head)
{
    const auto starts = [&](std::string_view magic) {
        return head.substr(0, magic.size()) == magic;
    };
    if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
        return "is UTF-16 text: saved as UTF-8 it can be compiled";
    }
    if (starts("PK\x03\x04") || starts(std::string_view("\xD0\xCF\x11\xE0", 4))) {
        return "is a Word document or another packed file, not a source";
    }
    if (starts("\x89PNG") || starts("\xFF\xD8\xFF") || starts("GIF8") || starts("BM")) {
        return "is an image, not a source";
    }
    if (starts("%PDF") || starts("{\\rtf")) {
        return "is a document, not a source";
    }
    if (head.find('\0') != std::string_view::npos) {
        return "is not text";
    }
    return "";
}

FolderSources sources_in(const fs::path& folder, const std::vector<Exercise>& exercises)
{
    FolderSources result;
    Choosing choosing(folder, exercises);
    for (const Exercise& exercise : exercises) {
        if (std::optional<Source> source = choosing.choose(exercise, result.notes)) {
            result.sources.push_back(std::move(*source));
        }
    }
    result.unnamed = choosing.unnamed(result.notes);
    leave_out_non_text(folder, result);
    return result;
}

std::vector<Source> find_sources(const fs::path& folder, const std::vector<Exercise>& exercises,
                                 std::vector<std::string>* left_out)
{
    FolderSources found = sources_in(folder, exercises);
    if (left_out != nullptr) {
        left_out->insert(left_out->end(), found.notes.begin(), found.notes.end());
    }
    return found.sources;
}

} // namespace check
