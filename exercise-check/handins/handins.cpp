#include "handins.h"

#include "descriptor.h"

#include "archives.h"
#include "sources.h"
#include "text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <map>
#include <stdexcept>

namespace check {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t deepest_wrapper = 8; // folders inside folders searched for the sources
constexpr std::size_t most_folders = 2000; // folders of one hand-in searched at most
constexpr std::size_t deepest_copy = 32;   // folders inside folders copied
constexpr std::size_t deepest_archive = 2; // a hand-in's archive, and one inside it

// A platform's whole download: many hand-ins.
constexpr ArchiveLimits download_limits{1024ULL * 1024 * 1024, 100000};

// What learning platforms and file managers add to a download, never a hand-in's own.
bool is_junk(const std::string& name)
{
    return name.empty() || name == "__MACOSX" || name.front() == '.' || name == "Thumbs.db" ||
           name == "desktop.ini";
}

bool is_group_folder(const std::string& name, const std::vector<Exercise>& exercises)
{
    return std::any_of(exercises.begin(), exercises.end(),
                       [&](const Exercise& exercise) { return exercise.folder == name; });
}

bool ends_with(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::vector<fs::directory_entry> sorted_entries(const fs::path& folder)
{
    std::vector<fs::directory_entry> entries;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        entries.push_back(*it);
    }
    std::sort(entries.begin(), entries.end(),
              [](const fs::directory_entry& a, const fs::directory_entry& b) {
                  return name_order(a.path().filename().string(), b.path().filename().string());
              });
    return entries;
}

std::string joined(const std::vector<std::string>& parts, const char* separator = "; ")
{
    std::string text;
    for (const std::string& part : parts) {
        text += (text.empty() ? "" : separator) + part;
    }
    return text;
}

// "left out 2 links: a, b/c", at most a few named.
std::string left_out_text(const std::string& one, const std::string& many,
                          const std::vector<std::string>& paths)
{
    std::vector<std::string> named(
        paths.begin(),
        paths.begin() + static_cast<std::ptrdiff_t>(std::min(paths.size(), most_named)));
    std::string text = "left out " + std::to_string(paths.size()) + " " +
                       (paths.size() == 1 ? one : many) + ": " + joined(named, ", ");
    if (paths.size() > most_named) {
        text += " and " + std::to_string(paths.size() - most_named) + " more";
    }
    return text;
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
void search(const fs::path& root, const fs::path& folder, const std::vector<Exercise>& exercises,
            std::size_t depth, std::vector<Candidate>& found, std::size_t& visited, bool& anything,
            std::vector<std::string>& left_out)
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
            search(root, entry.path(), exercises, depth + 1, found, visited, anything, left_out);
        }
    }
}

std::string programs_text(std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " program" : " programs");
}

void replace_all(std::string& text, const std::string& from, const std::string& to)
{
    if (from.empty()) {
        return;
    }
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// What one person's hand-in may still take.
struct Budget {
    std::uint64_t bytes;
    std::size_t entries;
    bool exceeded = false;

    bool take(std::uint64_t more_bytes, std::size_t more_entries)
    {
        if (exceeded || more_bytes > bytes || more_entries > entries) {
            exceeded = true;
            return false;
        }
        bytes -= more_bytes;
        entries -= more_entries;
        return true;
    }
};

// What copying and unpacking a hand-in met on the way, for its note.
struct Findings {
    std::vector<std::string> links;     // left out, as links or devices
    std::vector<std::string> too_large; // sources larger than largest_source
    std::vector<std::string> notes;     // whole lines: archives that could not be read
};

// Copies one plain file, never through a link, reading no more than it held when opened.
void copy_file(const fs::path& from, const fs::path& to, const std::string& shown_path,
               Budget& budget, Findings& findings)
{
    const Descriptor in(::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (in.fd < 0 || ::fstat(in.fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        findings.links.push_back(shown_path);
        return;
    }
    const auto size = static_cast<std::uint64_t>(status.st_size);
    if (size > largest_source && ends_with(from.filename().string(), ".cpp")) {
        findings.too_large.push_back(shown_path);
        return;
    }
    if (!budget.take(size, 1)) {
        return;
    }
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    std::array<char, 65536> buffer{};
    for (std::uint64_t left = size; left > 0 && out;) {
        const ssize_t count =
            ::read(in.fd, buffer.data(), std::min<std::uint64_t>(left, buffer.size()));
        if (count <= 0) {
            break;
        }
        out.write(buffer.data(), count);
        left -= static_cast<std::uint64_t>(count);
    }
}

// Takes from the budget what copying the folder would, reading nothing: false when over it.
bool measure(const fs::path& folder, std::size_t depth, Budget& budget)
{
    for (const fs::directory_entry& entry : sorted_entries(folder)) {
        std::error_code error;
        const std::string name = entry.path().filename().string();
        const fs::file_status status = entry.symlink_status(error);
        if (is_junk(name)) {
            continue;
        }
        if (fs::is_directory(status)) {
            if (depth < deepest_copy &&
                (!budget.take(0, 1) || !measure(entry.path(), depth + 1, budget))) {
                return false;
            }
        } else if (fs::is_regular_file(status)) {
            const std::uintmax_t size = entry.file_size(error);
            if (!(size > largest_source && ends_with(name, ".cpp")) && !budget.take(size, 1)) {
                return false;
            }
        }
    }
    return true;
}

// Copies what a folder holds, plain files and folders only, junk left out.
void copy_tree(const fs::path& from, const fs::path& to, const std::string& shown_as,
               std::size_t depth, Budget& budget, Findings& findings)
{
    std::error_code error;
    fs::create_directories(to, error);
    for (const fs::directory_entry& entry : sorted_entries(from)) {
        if (budget.exceeded) {
            return;
        }
        const std::string name = entry.path().filename().string();
        if (is_junk(name)) {
            continue;
        }
        const std::string shown_path = shown_as.empty() ? name : shown_as + "/" + name;
        const fs::file_status status = entry.symlink_status(error);
        if (fs::is_directory(status)) {
            if (depth < deepest_copy && budget.take(0, 1)) {
                copy_tree(entry.path(), to / name, shown_path, depth + 1, budget, findings);
            }
        } else if (fs::is_regular_file(status)) {
            copy_file(entry.path(), to / name, shown_path, budget, findings);
        } else {
            findings.links.push_back(shown_path);
        }
    }
}

// Whether a folder holds any file that is not junk.
bool holds_files(const fs::path& folder)
{
    for (const fs::directory_entry& entry : sorted_entries(folder)) {
        std::error_code error;
        if (is_junk(entry.path().filename().string())) {
            continue;
        }
        if (entry.is_regular_file(error) ||
            (entry.is_directory(error) && holds_files(entry.path()))) {
            return true;
        }
    }
    return false;
}

// The lines a note gets about an archive unpacked into the folder.
void note_unpacked(const std::string& name, const Unpacked& unpacked, const fs::path& into,
                   Findings& findings)
{
    if (unpacked.skipped > 0) {
        findings.notes.push_back("left out " + std::to_string(unpacked.skipped) + " entr" +
                                 (unpacked.skipped == 1 ? "y" : "ies") + " of " + name +
                                 " that are links, devices or lead outside it");
    }
    if (unpacked.files == 0) {
        findings.notes.push_back(name + " is empty");
    } else if (!holds_files(into)) {
        findings.notes.push_back(name + " holds nothing but what platforms and file managers "
                                        "add (__MACOSX, ._ files)");
    }
}

// The archives in a folder of the checker's own, junk and what was unpacked from them skipped.
void archives_in(const fs::path& folder, std::size_t depth, std::vector<fs::path>& found)
{
    for (const fs::directory_entry& entry : sorted_entries(folder)) {
        std::error_code error;
        const std::string name = entry.path().filename().string();
        if (is_junk(name)) {
            continue;
        }
        if (entry.is_directory(error)) {
            if (depth < deepest_copy) {
                archives_in(entry.path(), depth + 1, found);
            }
        } else if (entry.is_regular_file(error) && is_archive_name(name)) {
            found.push_back(entry.path());
        }
    }
}

// Unpacks every archive in a copied hand-in where it lies, the archive replaced by a folder of
// its name; level is how deep in archives the folder lies.
void unpack_archives_in(const fs::path& folder, const fs::path& root, const std::string& prefix,
                        std::size_t level, Budget& budget, Findings& findings)
{
    std::vector<fs::path> archives;
    archives_in(folder, 0, archives);
    for (const fs::path& file : archives) {
        if (budget.exceeded) {
            return;
        }
        const std::string name = prefix + file.lexically_relative(root).generic_string();
        if (level >= deepest_archive) {
            findings.notes.push_back(name + " not unpacked: an archive in an archive in an "
                                            "archive");
            continue;
        }
        std::error_code error;
        if (fs::file_size(file, error) == 0) {
            findings.notes.push_back(name + " is empty");
            continue;
        }
        fs::path into = file;
        into += ".unpacked";
        for (int more = 2; fs::exists(fs::symlink_status(into, error)); ++more) {
            into = file;
            into += ".unpacked-" + std::to_string(more);
        }
        const Unpacked unpacked =
            unpack_archive(file, into, ArchiveLimits{budget.bytes, budget.entries});
        if (!unpacked.ok) {
            fs::remove_all(into, error);
            findings.notes.push_back(name + " " + unpacked.problem);
            if (unpacked.problem.rfind("unpacks to more than", 0) == 0) {
                budget.exceeded = true;
            }
            continue;
        }
        budget.take(unpacked.bytes, unpacked.entries);
        note_unpacked(name, unpacked, into, findings);
        fs::remove(file, error);
        fs::rename(into, file, error);
        unpack_archives_in(file, root, prefix, level + 1, budget, findings);
    }
}

// One entry of a class: what a person handed in, or a part of it.
struct Item {
    fs::path path;
    std::string name;     // as in the class
    bool link = false;    // not followed
    bool archive = false; // the whole hand-in, packed
    std::string loose;    // a platform's loose file: its own name
    bool online = false;  // text typed into a platform's form
};

struct Found {
    std::string name;
    std::string id;
    std::vector<Item> items;
};

// Copies (or unpacks) a person's items under work and finds the sources in them.
Person gather(const Found& found, const fs::path& work, const ArchiveLimits& limits,
              const std::vector<Exercise>& exercises)
{
    Person person{found.name, "", "", found.id};
    Findings findings;
    Budget budget{limits.bytes, limits.entries};
    std::error_code error;

    // The folder the hand-in is copied into: the one it was handed in as, under work.
    std::string mirror;
    std::string prefix; // names the paths in notes inside a packed hand-in
    bool files = false;
    for (const Item& item : found.items) {
        if (item.online || item.link) {
            continue;
        }
        files = true;
        if (mirror.empty() || (!item.archive && item.loose.empty())) {
            mirror = item.loose.empty() ? item.name
                                        : item.name.substr(0, item.name.size() - item.loose.size());
        }
    }
    if (mirror.empty()) {
        mirror = found.items.front().name;
    }
    const fs::path view = work / mirror;
    fs::create_directories(view, error);

    // A folder over the limits is refused before anything in it is read.
    Budget measured = budget;
    for (const Item& item : found.items) {
        if (!item.link && !item.online && !item.archive && item.loose.empty()) {
            measure(item.path, 0, measured);
        }
    }
    budget.exceeded = measured.exceeded;
    for (const Item& item : found.items) {
        if (budget.exceeded) {
            break;
        }
        if (item.link) {
            findings.notes.push_back(item.name + " is a link: left out");
        } else if (item.online) {
            if (!files) {
                findings.notes.push_back("only text typed into the platform's form (" + item.name +
                                         "): not checked");
            }
        } else if (item.archive) {
            prefix = item.name + "/";
            std::uintmax_t size = fs::file_size(item.path, error);
            const Unpacked unpacked =
                size == 0
                    ? Unpacked{false, "is empty", 0, 0, 0, 0}
                    : unpack_archive(item.path, view, ArchiveLimits{budget.bytes, budget.entries});
            if (!unpacked.ok) {
                findings.notes.push_back(item.name + " " + unpacked.problem +
                                         ": taken as nothing handed in");
                continue;
            }
            budget.take(unpacked.bytes, unpacked.entries);
            note_unpacked(item.name, unpacked, view, findings);
        } else if (!item.loose.empty()) {
            copy_file(item.path, view / item.loose, item.name, budget, findings);
        } else {
            copy_tree(item.path, view, "", 0, budget, findings);
        }
    }
    if (!budget.exceeded) {
        unpack_archives_in(view, view, prefix, prefix.empty() ? 0 : 1, budget, findings);
    }
    if (budget.exceeded) {
        fs::remove_all(view, error);
        fs::create_directories(view, error);
        findings = Findings{};
        findings.notes.push_back(mirror + " holds more than " + limits_text(limits) +
                                 ": taken as nothing handed in");
    }

    const HandIn hand_in = find_hand_in(view, mirror, exercises);
    person.folder = hand_in.folder;
    person.handed_in = view;
    std::vector<std::string> notes = findings.notes;
    if (!findings.links.empty()) {
        notes.push_back(left_out_text("link or device", "links or devices", findings.links));
    }
    if (!findings.too_large.empty()) {
        notes.push_back(left_out_text("source larger than 1 MiB", "sources larger than 1 MiB",
                                      findings.too_large));
    }
    // "nothing handed in" says less than why nothing could be read.
    if (!hand_in.note.empty() && !(hand_in.note == "nothing handed in" && !notes.empty())) {
        notes.insert(notes.begin(), hand_in.note);
    }
    person.note = joined(notes);
    return person;
}

// Names each person found in a class's folder: folders, archives, a platform's entries.
std::vector<Found> people_in(const fs::path& root)
{
    std::vector<Found> people;
    std::map<std::string, std::size_t> by_id;
    for (const fs::directory_entry& entry : sorted_entries(root)) {
        const std::string file_name = entry.path().filename().string();
        if (is_junk(file_name)) {
            continue;
        }
        std::error_code error;
        const fs::file_status status = entry.symlink_status(error);
        Item item{entry.path(), file_name, fs::is_symlink(status), false, "", false};
        if (const std::optional<PlatformName> platform = platform_name(file_name)) {
            if (!item.link && !fs::is_directory(status)) {
                if (!fs::is_regular_file(status) || platform->file.empty()) {
                    continue;
                }
                item.loose = platform->file;
            }
            item.online = platform->kind == "onlinetext";
            const auto [at, added] = by_id.emplace(platform->id, people.size());
            if (added) {
                people.push_back({platform->name, platform->id, {}});
            }
            people[at->second].items.push_back(item);
            continue;
        }
        if (item.link) {
            people.push_back({without_archive_ending(file_name), "", {item}});
        } else if (fs::is_directory(status)) {
            people.push_back({file_name, "", {item}});
        } else if (fs::is_regular_file(status) && is_archive_name(file_name)) {
            item.archive = true;
            people.push_back({without_archive_ending(file_name), "", {item}});
        }
    }

    // Every person's name is their own: where a platform hides names, or two people share one,
    // the number tells them apart; an archive beside a folder of its name keeps its ending.
    std::map<std::string, std::size_t> uses;
    for (const Found& person : people) {
        ++uses[person.name];
    }
    for (Found& person : people) {
        if (!person.id.empty() && (person.name == "Participant" || uses[person.name] > 1)) {
            person.name += " " + person.id;
        } else if (person.id.empty() && uses[person.name] > 1 && person.items.front().archive) {
            person.name = person.items.front().name;
        }
    }
    return people;
}

} // namespace

std::optional<PlatformName> platform_name(std::string_view entry)
{
    const std::string text(entry);
    const std::string marker = "_assignsubmission_";
    const std::size_t at = text.find(marker);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t number = text.rfind('_', at == 0 ? 0 : at - 1);
    if (number == std::string::npos || number == 0 || number + 1 >= at) {
        return std::nullopt;
    }
    PlatformName name;
    name.name = text.substr(0, number);
    name.id = text.substr(number + 1, at - number - 1);
    if (!std::all_of(name.id.begin(), name.id.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; })) {
        return std::nullopt;
    }
    const std::size_t kind_start = at + marker.size();
    const std::size_t kind_end = text.find('_', kind_start);
    if (kind_end == std::string::npos || kind_end == kind_start) {
        return std::nullopt;
    }
    name.kind = text.substr(kind_start, kind_end - kind_start);
    name.file = text.substr(kind_end + 1);
    return name;
}

HandIn find_hand_in(const fs::path& root, const std::string& shown_as,
                    const std::vector<Exercise>& exercises)
{
    std::vector<Candidate> found;
    std::size_t visited = 0;
    bool anything = false;
    std::vector<std::string> left_out;
    search(root, root, exercises, 0, found, visited, anything, left_out);

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
        hand_in.note =
            anything ? "none of the exercises' programs found in " + shown_as : "nothing handed in";
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

std::vector<Person> find_class(const fs::path& path, const fs::path& work,
                               const std::vector<Exercise>& exercises, const ArchiveLimits& limits)
{
    std::error_code error;
    fs::path root = path;
    const fs::path download = work / ".download";
    if (fs::is_regular_file(path, error)) {
        // The class is the teacher's own: a link to it is followed, unlike those in it.
        const Unpacked unpacked =
            unpack_archive(fs::canonical(path, error), download, download_limits);
        if (!unpacked.ok) {
            throw std::runtime_error(path.string() + " " + unpacked.problem);
        }
        root = download;
    } else if (!fs::is_directory(path, error)) {
        throw std::runtime_error("no such folder or archive: " + path.string());
    }
    // A download unpacked into a folder of its own, or packed again with it: one folder that
    // holds a platform's entries is the class.
    fs::path wrapper;
    std::vector<fs::directory_entry> top = sorted_entries(root);
    top.erase(std::remove_if(top.begin(), top.end(),
                             [](const fs::directory_entry& entry) {
                                 return is_junk(entry.path().filename().string());
                             }),
              top.end());
    if (top.size() == 1 && fs::is_directory(top.front().symlink_status(error))) {
        const std::vector<fs::directory_entry> inside = sorted_entries(top.front().path());
        if (std::any_of(inside.begin(), inside.end(), [](const fs::directory_entry& entry) {
                return platform_name(entry.path().filename().string()).has_value();
            })) {
            wrapper = top.front().path().filename();
        }
    }
    std::vector<Person> people;
    for (const Found& found : people_in(root / wrapper)) {
        people.push_back(gather(found, work / wrapper, limits, exercises));
    }
    fs::remove_all(download, error);
    std::sort(people.begin(), people.end(),
              [](const Person& a, const Person& b) { return name_order(a.name, b.name); });
    return people;
}

void show_as_handed_in(Report& report, const fs::path& folder, const fs::path& work)
{
    const std::string from = work.string();
    const std::string to = folder.string();
    for (PersonResult& person : report.people) {
        replace_all(person.folder, from, to);
        for (ProgramResult& program : person.programs) {
            replace_all(program.source, from, to);
            replace_all(program.compiler_output, from, to);
        }
    }
}

} // namespace check
