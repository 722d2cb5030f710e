#include "handins.h"

#include "archives.h"
#include "copying.h"
#include "files.h"
#include "folder_entries.h"
#include "hand_in_folder.h"
#include "platform_downloads.h"
#include "platform_names.h"
#include "text.h"
#include "unpacking.h"

#include <algorithm>
#include <map>
#include <stdexcept>

namespace check {

namespace fs = std::filesystem;

namespace {

// A platform's whole download: many hand-ins.
constexpr ArchiveLimits download_limits{1024ULL * 1024 * 1024, 100000};

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
    std::string mirror{}; // the folder under work it is copied into; empty: the items' own
    std::string note{};   // what the platform's download says of it: late, earlier attempts
    std::optional<bool> late{};
};

// The folder a hand-in is copied into, under work: the one it was handed in as.
std::string mirror_of(const Found& found)
{
    if (!found.mirror.empty()) {
        return found.mirror;
    }
    std::string mirror;
    for (const Item& item : found.items) {
        if (!item.online && !item.link &&
            (mirror.empty() || (!item.archive && item.loose.empty()))) {
            mirror = item.loose.empty() ? item.name
                                        : item.name.substr(0, item.name.size() - item.loose.size());
        }
    }
    return mirror.empty() && !found.items.empty() ? found.items.front().name : mirror;
}

// Copies or unpacks each item into view within the budget, a folder over it refused before
// anything in it is read; prefix then names the paths inside a packed hand-in.
void copy_items(const Found& found, const fs::path& view, Budget& budget, Findings& findings,
                std::string& prefix)
{
    const bool files = std::any_of(found.items.begin(), found.items.end(),
                                   [](const Item& item) { return !item.online && !item.link; });
    Budget measured = budget;
    for (const Item& item : found.items) {
        if (!item.link && !item.online && !item.archive && item.loose.empty()) {
            measure(item.path, 0, measured);
        }
    }
    budget.exceeded = measured.exceeded;
    std::error_code error;
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
}

// The note of a hand-in: how its folder was chosen, and what was left out on the way.
std::string note_of(const HandIn& hand_in, const Findings& findings)
{
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
    return joined(notes);
}

// Copies (or unpacks) a person's items under work and finds the sources in them.
Person gather(const Found& found, const fs::path& work, const ArchiveLimits& limits,
              const std::vector<Exercise>& exercises)
{
    Person person{found.name, "", "", found.id};
    Findings findings;
    Budget budget{limits.bytes, limits.entries};
    std::error_code error;
    const std::string mirror = mirror_of(found);
    const fs::path view = work / mirror;
    fs::create_directories(view, error);
    std::string prefix; // names the paths in notes inside a packed hand-in
    copy_items(found, view, budget, findings, prefix);
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
    if (const std::vector<std::string> several = several_hand_ins(view, exercises);
        !several.empty()) {
        throw std::runtime_error(
            plain_text(found.name, 200, true) + " holds the hand-ins of " +
            std::to_string(several.size()) + " people (" + plain_text(several.front(), 200, true) +
            ", " + plain_text(several[1], 200, true) + (several.size() > 2 ? ", ..." : "") +
            "): give --class the folder that holds them, one folder or archive a person");
    }
    const HandIn hand_in = find_hand_in(view, mirror, exercises);
    person.folder = hand_in.folder;
    person.handed_in = view;
    person.note = note_of(hand_in, findings);
    person.late = found.late;
    if (!found.note.empty()) {
        person.note = found.note + (person.note.empty() ? "" : "; " + person.note);
    }
    return person;
}

// What a Blackboard receipt or Gradescope's metadata may hold at most.
constexpr std::uintmax_t largest_platform_text = 16 * 1024 * 1024;

// A folder's entries as read_download and is_wrapper take them, junk and all; with texts, a
// receipt's or the metadata's text, from plain files only.
std::vector<DownloadEntry> download_entries(const fs::path& folder, bool texts)
{
    std::vector<DownloadEntry> entries;
    for (const fs::directory_entry& entry : sorted_entries(folder)) {
        std::error_code error;
        const fs::file_status status = entry.symlink_status(error);
        DownloadEntry read{entry.path().filename().string(), fs::is_directory(status), ""};
        const bool text =
            read.name == "submission_metadata.yml" ||
            (ends_with(read.name, ".txt") && read.name.find("_attempt_") != std::string::npos);
        if (texts && text && fs::is_regular_file(status)) {
            const FileRead bytes = read_file(entry.path(), largest_platform_text, Links::refused);
            read.text = bytes.bytes.value_or("");
        }
        entries.push_back(std::move(read));
    }
    return entries;
}

// The people of a platform's download as read_download found them, each entry a loose file of
// the name it takes, or a folder whose contents are theirs.
std::vector<Found> people_of(const Download& download, const fs::path& root)
{
    std::vector<Found> people;
    for (const DownloadPerson& person : download.people) {
        Found found{person.name, person.id, {}, person.folder, person.note, person.late};
        for (const GivenEntry& given : person.entries) {
            std::error_code error;
            const fs::file_status status = fs::symlink_status(root / given.entry, error);
            Item item{root / given.entry, given.entry, fs::is_symlink(status), false, "", false};
            if (!item.link && !given.folder) {
                item.loose = given.as;
            }
            found.items.push_back(item);
        }
        people.push_back(std::move(found));
    }
    return people;
}

// The exercises' names, as read_download takes them, or the folders of their groups.
std::vector<std::string> exercise_names(const std::vector<Exercise>& exercises, bool folders)
{
    std::vector<std::string> names;
    for (const Exercise& exercise : exercises) {
        names.push_back(folders ? exercise.folder : exercise.name);
    }
    return names;
}

// The folders a download is wrapped in, unpacked into a folder of its own or packed again with
// it (Gradescope's assignment_<id>_export/ among them): one folder at the top that holds a class
// is passed through, two deep at most, never taken as one person's hand-in.
fs::path wrapper_of(const fs::path& root, const std::vector<Exercise>& exercises)
{
    fs::path wrapper;
    // A chain of folders each holding only the next (course/2026/class/) is passed through
    // where a class lies at its end, as one folder at the top is below; a person's hand-in
    // wrapped so stays whole.
    fs::path chain;
    for (int depth = 0; depth < 3; ++depth) {
        std::error_code error;
        std::vector<fs::directory_entry> top = sorted_entries(root / chain);
        top.erase(std::remove_if(top.begin(), top.end(),
                                 [](const fs::directory_entry& entry) {
                                     return is_junk(entry.path().filename().string());
                                 }),
                  top.end());
        if (top.size() != 1 || !fs::is_directory(top.front().symlink_status(error))) {
            break;
        }
        const fs::path next = chain / top.front().path().filename();
        if (is_wrapper(next.filename().string(), download_entries(root / next, false),
                       exercise_names(exercises, true))) {
            wrapper = next;
            break;
        }
        chain = next;
    }
    if (!wrapper.empty()) {
        return wrapper;
    }
    for (int depth = 0; depth < 2; ++depth) {
        std::error_code error;
        std::vector<fs::directory_entry> top = sorted_entries(root / wrapper);
        top.erase(std::remove_if(top.begin(), top.end(),
                                 [](const fs::directory_entry& entry) {
                                     return is_junk(entry.path().filename().string());
                                 }),
                  top.end());
        if (top.size() != 1 || !fs::is_directory(top.front().symlink_status(error))) {
            break;
        }
        const std::vector<DownloadEntry> inside = download_entries(top.front().path(), false);
        if (!is_wrapper(top.front().path().filename().string(), inside,
                        exercise_names(exercises, true)) &&
            std::none_of(inside.begin(), inside.end(), [](const DownloadEntry& entry) {
                return platform_name(entry.name).has_value();
            })) {
            break;
        }
        wrapper /= top.front().path().filename();
    }
    return wrapper;
}

// Names each person found in a class's folder: folders, archives, a platform's entries; what is
// no one's goes to unread, by its name in the folder.
std::vector<Found> people_in(const fs::path& root, std::vector<NotRead>& unread)
{
    std::vector<Found> people;
    std::map<std::string, std::size_t> by_id;
    for (const fs::directory_entry& entry : sorted_entries(root)) {
        const std::string file_name = entry.path().filename().string();
        if (is_junk(file_name)) {
            unread.push_back({file_name, "what platforms and file managers add"});
            continue;
        }
        std::error_code error;
        const fs::file_status status = entry.symlink_status(error);
        Item item{entry.path(), file_name, fs::is_symlink(status), false, "", false};
        if (const std::optional<PlatformName> platform = platform_name(file_name)) {
            if (!item.link && !fs::is_directory(status)) {
                if (!fs::is_regular_file(status) || platform->file.empty()) {
                    unread.push_back({file_name, fs::is_regular_file(status)
                                                     ? "names no file of the hand-in"
                                                     : "neither a file nor a folder"});
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
        } else if (fs::is_regular_file(status)) {
            unread.push_back({file_name, "a loose file beside the people's folders and archives: "
                                         "no one's hand-in"});
        } else {
            unread.push_back({file_name, "neither a file nor a folder"});
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

std::vector<Person> find_class(const fs::path& path, const fs::path& work,
                               const std::vector<Exercise>& exercises, const ArchiveLimits& limits)
{
    return read_class(path, work, exercises, limits).people;
}

ClassFound read_class(const fs::path& path, const fs::path& work,
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
    const fs::path wrapper = wrapper_of(root, exercises);
    // Canvas's, Blackboard's, Gradescope's and Drive's layouts by their names; else each folder
    // and archive a person, and Moodle's entries.
    Download read =
        read_download(download_entries(root / wrapper, true), exercise_names(exercises, false));
    ClassFound found_class;
    std::vector<NotRead> unread = read.not_read;
    for (const DownloadPerson& person : read.people) {
        for (const std::string& earlier : person.earlier) {
            unread.push_back({earlier, "an earlier upload or attempt of " + person.name +
                                           "'s: the latest is checked"});
        }
    }
    const std::vector<Found> found = read.platform == Platform::none
                                         ? people_in(root / wrapper, unread)
                                         : people_of(read, root / wrapper);
    for (const Found& person : found) {
        found_class.people.push_back(gather(person, work / wrapper, limits, exercises));
    }
    fs::remove_all(download, error);
    std::sort(found_class.people.begin(), found_class.people.end(),
              [](const Person& a, const Person& b) { return name_order(a.name, b.name); });
    for (const NotRead& entry : unread) {
        found_class.not_read.push_back(
            {(path / wrapper / entry.entry).generic_string(), entry.why});
    }
    return found_class;
}

} // namespace check
