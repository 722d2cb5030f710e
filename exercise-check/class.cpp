#include "class.h"

#include "report.h"
#include "sources.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace check {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t deepest_wrapper = 8; // folders inside folders searched for the sources
constexpr std::size_t most_folders = 2000; // folders of one hand-in searched at most

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

bool ends_with_zip(const std::string& name)
{
    if (name.size() <= 4) {
        return false;
    }
    std::string end = name.substr(name.size() - 4);
    std::transform(end.begin(), end.end(), end.begin(),
                   [](unsigned char byte) { return static_cast<char>(std::tolower(byte)); });
    return end == ".zip";
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

struct Candidate {
    fs::path folder;
    std::size_t programs = 0;
    std::size_t depth = 0;
};

// Every folder of the hand-in that holds some of the programs, links not followed, junk skipped.
void search(const fs::path& folder, const std::vector<Exercise>& exercises, std::size_t depth,
            std::vector<Candidate>& found, std::size_t& visited, bool& anything)
{
    if (++visited > most_folders) {
        return;
    }
    if (const std::size_t count = find_sources(folder, exercises).size(); count > 0) {
        found.push_back({folder, count, depth});
    }
    for (const fs::directory_entry& entry : sorted_entries(folder)) {
        const std::string name = entry.path().filename().string();
        if (is_junk(name)) {
            continue;
        }
        anything = true;
        std::error_code error;
        if (depth < deepest_wrapper && !entry.is_symlink(error) && entry.is_directory(error)) {
            search(entry.path(), exercises, depth + 1, found, visited, anything);
        }
    }
}

std::string shown(const std::string& shown_as, const fs::path& root, const fs::path& folder)
{
    const fs::path relative = folder.lexically_relative(root);
    return relative.empty() || relative == "." ? shown_as
                                               : (fs::path(shown_as) / relative).generic_string();
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

void add_note(std::string& note, const std::string& more)
{
    note += (note.empty() ? "" : "; ") + more;
}

using ArchivePointer = std::unique_ptr<archive, decltype(&archive_read_free)>;

} // namespace

std::optional<fs::path> safe_entry_path(std::string_view name)
{
    std::string text(name);
    std::replace(text.begin(), text.end(), '\\', '/');
    if (text.empty() || text.front() == '/' ||
        (text.size() >= 2 && text[1] == ':' && std::isalpha(static_cast<unsigned char>(text[0])))) {
        return std::nullopt;
    }
    fs::path path;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('/', start), text.size());
        const std::string part = text.substr(start, end - start);
        if (part == "..") {
            return std::nullopt;
        }
        if (!part.empty() && part != ".") {
            path /= part;
        }
        start = end + 1;
    }
    if (path.empty()) {
        return std::nullopt;
    }
    return path;
}

Unpacked unpack_archive(const fs::path& zip, const fs::path& into, const ArchiveLimits& limits)
{
    Unpacked result;
    std::error_code error;
    fs::create_directories(into, error);
    const auto fail = [&](std::string why) {
        std::error_code ignored;
        fs::remove_all(into, ignored);
        fs::create_directories(into, ignored);
        result.ok = false;
        result.problem = std::move(why);
        return result;
    };

    ArchivePointer reader(archive_read_new(), archive_read_free);
    archive_read_support_format_zip(reader.get());
    if (archive_read_open_filename(reader.get(), zip.c_str(), 65536) != ARCHIVE_OK) {
        return fail(std::string("not a zip archive that can be read: ") +
                    archive_error_string(reader.get()));
    }
    const std::string too_large = "unpacks to more than " +
                                  std::to_string(limits.bytes / (1024 * 1024)) + " MiB or " +
                                  std::to_string(limits.entries) + " entries";
    std::uint64_t bytes = 0;
    std::size_t entries = 0;
    std::array<char, 65536> buffer{};
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF) {
            break;
        }
        if (status < ARCHIVE_WARN) {
            return fail(std::string("cannot be read: ") + archive_error_string(reader.get()));
        }
        if (++entries > limits.entries) {
            return fail(too_large);
        }
        const char* name = archive_entry_pathname_utf8(entry);
        if (name == nullptr) {
            name = archive_entry_pathname(entry);
        }
        const std::optional<fs::path> relative =
            name == nullptr ? std::nullopt : safe_entry_path(name);
        const auto type = archive_entry_filetype(entry);
        if (!relative || archive_entry_hardlink(entry) != nullptr ||
            (type != AE_IFDIR && type != AE_IFREG)) {
            ++result.skipped;
            continue;
        }
        const fs::path target = into / *relative;
        if (type == AE_IFDIR) {
            fs::create_directories(target, error);
            continue;
        }
        if (archive_entry_size_is_set(entry) != 0 &&
            bytes + static_cast<std::uint64_t>(std::max<la_int64_t>(0, archive_entry_size(entry))) >
                limits.bytes) {
            return fail(too_large);
        }
        fs::create_directories(target.parent_path(), error);
        if (fs::is_directory(target, error)) {
            ++result.skipped;
            continue;
        }
        // Nothing unpacked is a link, so no path written to can lead outside the folder.
        std::ofstream file(target, std::ios::binary | std::ios::trunc);
        if (!file) {
            ++result.skipped;
            continue;
        }
        for (;;) {
            const la_ssize_t count = archive_read_data(reader.get(), buffer.data(), buffer.size());
            if (count < 0) {
                return fail(std::string("cannot be read: ") + archive_error_string(reader.get()));
            }
            if (count == 0) {
                break;
            }
            bytes += static_cast<std::uint64_t>(count);
            if (bytes > limits.bytes) {
                return fail(too_large);
            }
            file.write(buffer.data(), static_cast<std::streamsize>(count));
        }
        if (!file.flush()) {
            return fail("cannot be unpacked: the disk is full or cannot be written");
        }
    }
    result.ok = true;
    return result;
}

HandIn find_hand_in(const fs::path& root, const std::string& shown_as,
                    const std::vector<Exercise>& exercises)
{
    std::vector<Candidate> found;
    std::size_t visited = 0;
    bool anything = false;
    search(root, exercises, 0, found, visited, anything);

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

    HandIn hand_in{root, ""};
    if (candidates.empty()) {
        hand_in.note =
            anything ? "none of the exercises' programs found in " + shown_as : "nothing handed in";
        return hand_in;
    }
    // The most programs; of as many, the least deep; of those, the first by name.
    const auto best = std::min_element(
        candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
            return a.programs != b.programs ? a.programs > b.programs : a.depth < b.depth;
        });
    hand_in.folder = best->folder;
    if (candidates.size() == 1) {
        if (best->depth >= 2) {
            hand_in.note = "sources found in " + shown(shown_as, root, best->folder);
        }
        return hand_in;
    }
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
    return hand_in;
}

std::vector<Person> find_class(const fs::path& folder, const fs::path& work,
                               const std::vector<Exercise>& exercises)
{
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        throw std::runtime_error("no such folder: " + folder.string());
    }
    std::vector<Person> people;
    const auto taken = [&](const std::string& name) {
        return std::any_of(people.begin(), people.end(),
                           [&](const Person& person) { return person.name == name; });
    };
    for (const fs::directory_entry& entry : sorted_entries(folder)) {
        const std::string file_name = entry.path().filename().string();
        if (is_junk(file_name)) {
            continue;
        }
        if (entry.is_directory(error)) {
            const HandIn hand_in = find_hand_in(entry.path(), file_name, exercises);
            people.push_back({file_name, hand_in.folder, hand_in.note});
        } else if (entry.is_regular_file(error) && ends_with_zip(file_name)) {
            std::string name = file_name.substr(0, file_name.size() - 4);
            if (taken(name)) {
                name = file_name;
            }
            const fs::path into = work / file_name;
            const Unpacked unpacked = unpack_archive(entry.path(), into);
            Person person{name, into, ""};
            if (unpacked.ok) {
                const HandIn hand_in = find_hand_in(into, file_name, exercises);
                person.folder = hand_in.folder;
                person.note = hand_in.note;
            } else {
                person.note = file_name + " " + unpacked.problem + ": taken as nothing handed in";
            }
            if (unpacked.skipped > 0) {
                add_note(person.note, "left out " + std::to_string(unpacked.skipped) + " entr" +
                                          (unpacked.skipped == 1 ? "y" : "ies") + " of " +
                                          file_name +
                                          " that are links, devices or lead outside it");
            }
            people.push_back(person);
        }
    }
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

ProgressMeter::ProgressMeter(std::ostream& out, std::size_t total, std::size_t nothing_to_check)
    : out_(out), total_(total), nothing_to_check_(nothing_to_check),
      start_(std::chrono::steady_clock::now())
{
    ticker_ = std::thread([this] {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stopped_) {
            draw(false);
            wake_.wait_for(lock, std::chrono::seconds(1));
        }
    });
}

ProgressMeter::~ProgressMeter()
{
    finish();
}

Progress ProgressMeter::callback()
{
    return [this](std::size_t done, std::size_t total) {
        const std::lock_guard<std::mutex> lock(mutex_);
        done_ = done;
        total_ = total;
        draw(false);
    };
}

void ProgressMeter::finish()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (stopped_) {
            return;
        }
        stopped_ = true;
        draw(true);
    }
    wake_.notify_all();
    ticker_.join();
}

void ProgressMeter::draw(bool last)
{
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    // Those with nothing to check are done first and at once: the others set the pace.
    std::optional<double> left;
    const std::size_t checked = done_ > nothing_to_check_ ? done_ - nothing_to_check_ : 0;
    const std::size_t to_check = total_ > nothing_to_check_ ? total_ - nothing_to_check_ : 0;
    if (checked > 0) {
        left = seconds * static_cast<double>(to_check - std::min(checked, to_check)) /
               static_cast<double>(checked);
    }
    out_ << '\r' << progress_line(done_, total_, seconds, last ? std::nullopt : left) << "\033[K"
         << (last ? "\n" : "") << std::flush;
}

} // namespace check
