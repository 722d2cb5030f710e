#include "platform_downloads.h"

#include "archives.h"
#include "sources.h"
#include "text.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <map>
#include <optional>
#include <set>

namespace check {

namespace {

constexpr std::size_t longest_entry = 255; // bytes: what a file system takes in one name
constexpr std::size_t longest_name = 200;  // bytes of a person's name as shown

bool is_digits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](unsigned char c) { return std::isdigit(c) != 0; });
}

bool has_control(std::string_view text)
{
    return std::any_of(text.begin(), text.end(),
                       [](unsigned char c) { return c < 0x20 || c == 0x7f; });
}

// Why an entry of this name is not read, or empty.
std::string refusal(std::string_view name)
{
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) {
        return "not a name a file can have";
    }
    if (has_control(name)) {
        return "its name holds a control character";
    }
    if (name.size() > longest_entry) {
        return "its name is longer than 255 bytes";
    }
    return "";
}

bool is_junk(std::string_view name)
{
    return name == "__MACOSX" || name.front() == '.' || name == "Thumbs.db" ||
           name == "desktop.ini";
}

// A name fit to show: valid UTF-8 on one line without control characters, not too long; the
// fallback where nothing is left.
std::string shown_name(std::string_view text, std::string_view fallback)
{
    std::string name(text);
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    name = valid_utf8(name, false);
    name = std::string(trimmed(name));
    if (name.size() > longest_name) {
        std::size_t at = 0;
        while (at < name.size()) {
            const std::size_t length = std::max<std::size_t>(utf8_length(name, at), 1);
            if (at + length > longest_name) {
                break;
            }
            at += length;
        }
        name.replace(at, std::string::npos, "…");
    }
    return name.empty() ? std::string(fallback) : name;
}

// Whether a name can be one file's in a hand-in: it leads nowhere else and shows as it is.
bool is_safe_file_name(std::string_view name)
{
    return refusal(name).empty() && name.find('\\') == std::string_view::npos && is_utf8(name);
}

// The name a file takes in a hand-in: its own where that is safe, else one made so: valid UTF-8,
// each control character, / and \ a _, never . or .., at most 255 bytes.
std::string safe_file_name(std::string_view name)
{
    if (is_safe_file_name(name)) {
        return std::string(name);
    }
    std::string safe = valid_utf8(name, false);
    std::replace_if(
        safe.begin(), safe.end(),
        [](char c) {
            return c == '/' || c == '\\' || c == '\0' || has_control({&c, 1});
        },
        '_');
    if (safe.empty() || safe == "." || safe == "..") {
        safe = "_" + safe;
    }
    std::size_t at = 0;
    while (at < safe.size() &&
           at + std::max<std::size_t>(utf8_length(safe, at), 1) <= longest_entry) {
        at += std::max<std::size_t>(utf8_length(safe, at), 1);
    }
    return safe.substr(0, at);
}

// A file's name split as a re-upload's: twodigits-1.cpp (Canvas) or twodigits (1).cpp (Drive)
// is twodigits.cpp's upload 1; 0 where the name has no such mark.
struct Version {
    std::string base;
    unsigned long number = 0;
};

Version version_of(std::string_view name, Platform platform)
{
    const std::size_t dot = name.rfind('.');
    const std::size_t stem_end = dot == std::string_view::npos || dot == 0 ? name.size() : dot;
    const std::string_view stem = name.substr(0, stem_end);
    const std::string_view ending = name.substr(stem_end);
    std::string_view digits;
    std::string_view before;
    if (platform == Platform::canvas) {
        const std::size_t dash = stem.rfind('-');
        if (dash != std::string_view::npos) {
            digits = stem.substr(dash + 1);
            before = stem.substr(0, dash);
        }
    } else if (ends_with(stem, ")")) {
        const std::size_t open = stem.rfind(" (");
        if (open != std::string_view::npos) {
            digits = stem.substr(open + 2, stem.size() - open - 3);
            before = stem.substr(0, open);
        }
    }
    if (before.empty() || !is_digits(digits) || digits.size() > 3) {
        return {std::string(name), 0};
    }
    return {std::string(before) + std::string(ending), std::stoul(std::string(digits))};
}

// A file of a person's: what it was uploaded as, and what orders its uploads after the version.
struct Upload {
    GivenEntry given;
    std::string order; // Canvas's attachment id, as digits of one length
};

// The latest upload of each file a person's: a re-upload's mark is taken off where what is left
// is a program's name or another file's of theirs; the others are earlier ones.
void choose_uploads(DownloadPerson& person, const std::vector<Upload>& uploads, Platform platform,
                    const std::vector<std::string>& programs)
{
    std::set<std::string> names;
    for (const Upload& upload : uploads) {
        names.insert(upload.given.as);
    }
    struct Ranked {
        const Upload* upload;
        std::string as;
        unsigned long number;
    };
    std::map<std::string, std::vector<Ranked>> by_name;
    std::vector<std::string> order;
    for (const Upload& upload : uploads) {
        Version version = upload.given.folder ? Version{upload.given.as, 0}
                                              : version_of(upload.given.as, platform);
        if (version.number > 0) {
            const std::string stem = version.base.substr(0, version.base.rfind('.'));
            const bool program =
                std::any_of(programs.begin(), programs.end(), [&](const std::string& name) {
                    return loose_name(name) == loose_name(stem);
                });
            if (!program && names.count(version.base) == 0) {
                version = {upload.given.as, 0};
            }
        }
        if (by_name.count(version.base) == 0) {
            order.push_back(version.base);
        }
        by_name[version.base].push_back({&upload, version.base, version.number});
    }
    for (const std::string& name : order) {
        std::vector<Ranked>& ranked = by_name[name];
        std::stable_sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
            return a.number != b.number ? a.number < b.number : a.upload->order < b.upload->order;
        });
        for (std::size_t i = 0; i + 1 < ranked.size(); ++i) {
            person.earlier.push_back(ranked[i].upload->given.entry);
        }
        GivenEntry latest = ranked.back().upload->given;
        latest.as = ranked.back().as;
        person.entries.push_back(latest);
    }
}

// Gradescope's submission_<id>, a folder or a file of that stem.
std::string gradescope_key(const DownloadEntry& entry)
{
    std::string_view name = entry.name;
    if (!entry.folder) {
        const std::size_t dot = name.rfind('.');
        name = dot == std::string_view::npos ? std::string_view() : name.substr(0, dot);
    }
    return starts_with(name, "submission_") && is_digits(name.substr(11)) ? std::string(name)
                                                                          : std::string();
}

constexpr std::string_view gradescope_metadata = "submission_metadata.yml";

// The attachment id as digits of one length, so that text order is number order.
std::string number_order(const std::string& digits)
{
    return std::string(digits.size() < 20 ? 20 - digits.size() : 0, '0') + digits;
}

std::string joined(const std::vector<std::string>& pieces, const char* separator = ", ")
{
    std::string text;
    for (const std::string& piece : pieces) {
        text += (text.empty() ? "" : separator) + piece;
    }
    return text;
}

void add_note(std::string& note, const std::string& more)
{
    note += (note.empty() ? "" : "; ") + more;
}

// What the reading of one platform's entries sees: the entries it reads, the rest said unread.
struct Reading {
    const std::vector<const DownloadEntry*>& entries;
    const std::vector<std::string>& programs;
    Download& download;
};

void read_canvas(const Reading& reading)
{
    std::map<std::string, std::pair<DownloadPerson, std::vector<Upload>>> by_user;
    for (const DownloadEntry* entry : reading.entries) {
        const std::optional<CanvasName> name = canvas_name(entry->name);
        if (!name) {
            reading.download.not_read.push_back(
                {entry->name, "not named <name>_<user id>_<attachment id>_<file>, as Canvas "
                              "names a hand-in's file"});
            continue;
        }
        auto& [person, uploads] = by_user[name->user];
        if (person.id.empty()) {
            person.id = name->user;
            person.name = shown_name(name->name, name->user);
        }
        person.late = person.late.value_or(false) || name->late;
        const std::string as = safe_file_name(name->file);
        uploads.push_back({{entry->name, as, entry->folder}, number_order(name->attachment)});
    }
    for (auto& [user, found] : by_user) {
        choose_uploads(found.first, found.second, Platform::canvas, reading.programs);
        if (found.first.late.value_or(false)) {
            found.first.note = "handed in late";
        }
        if (!found.first.earlier.empty()) {
            add_note(found.first.note,
                     "earlier uploads not checked: " + joined(found.first.earlier));
        }
        reading.download.people.push_back(std::move(found.first));
    }
}

// The attempt's date as a person reads it: 2024-03-04 10:15:32.
std::string attempt_time(const std::string& date)
{
    return date.substr(0, 10) + " " + date.substr(11, 2) + ":" + date.substr(14, 2) + ":" +
           date.substr(17, 2);
}

// One Blackboard attempt: its files and receipt.
struct Attempt {
    std::vector<const DownloadEntry*> files;
    const DownloadEntry* receipt = nullptr;
};

DownloadPerson blackboard_person(const std::string& prefix,
                                 const std::map<std::string, Attempt>& attempts)
{
    DownloadPerson person;
    // Of the receipts, the latest attempt's that names the person says who they are.
    for (auto it = attempts.rbegin(); it != attempts.rend() && person.id.empty(); ++it) {
        if (it->second.receipt != nullptr) {
            const Receipt receipt = read_blackboard_receipt(it->second.receipt->text);
            if (!receipt.username.empty() && ends_with(prefix, "_" + receipt.username)) {
                person.id = shown_name(receipt.username, "");
                person.name = shown_name(receipt.name, person.id);
            }
        }
    }
    if (person.id.empty()) {
        const std::size_t at = prefix.rfind('_');
        person.id = shown_name(at == std::string::npos ? prefix : prefix.substr(at + 1), prefix);
        person.name = person.id;
    }
    const auto& [date, latest] = *attempts.rbegin();
    Receipt receipt;
    if (latest.receipt != nullptr) {
        person.receipts.push_back(latest.receipt->name);
        receipt = read_blackboard_receipt(latest.receipt->text);
    }
    const std::size_t prefix_size = prefix.size() + 9 + 19 + 1; // _attempt_<date>_
    for (const DownloadEntry* file : latest.files) {
        std::string as = file->name.substr(prefix_size);
        for (const auto& [in_download, original] : receipt.files) {
            if (in_download == file->name && is_safe_file_name(original)) {
                as = original;
            }
        }
        person.entries.push_back({file->name, safe_file_name(as), file->folder});
    }
    std::vector<std::string> times;
    for (const auto& [when, attempt] : attempts) {
        if (when == date) {
            continue;
        }
        times.push_back(attempt_time(when));
        for (const DownloadEntry* file : attempt.files) {
            person.earlier.push_back(file->name);
        }
        if (attempt.receipt != nullptr) {
            person.earlier.push_back(attempt.receipt->name);
        }
    }
    if (!times.empty()) {
        person.note = "the attempt of " + attempt_time(date) +
                      " checked; earlier attempts not: " + joined(times);
    }
    return person;
}

void read_blackboard(const Reading& reading)
{
    std::map<std::string, std::map<std::string, Attempt>> by_prefix;
    for (const DownloadEntry* entry : reading.entries) {
        const std::optional<BlackboardName> name = blackboard_name(entry->name);
        if (!name) {
            reading.download.not_read.push_back(
                {entry->name, "not named <assignment>_<username>_attempt_<date>_<file>, as "
                              "Blackboard names a hand-in's file"});
            continue;
        }
        Attempt& attempt = by_prefix[name->prefix][name->date];
        if (!name->file.empty()) {
            attempt.files.push_back(entry);
        } else if (attempt.receipt == nullptr && !entry->folder) {
            attempt.receipt = entry;
        } else {
            reading.download.not_read.push_back({entry->name, "a second receipt of one attempt"});
        }
    }
    for (const auto& [prefix, attempts] : by_prefix) {
        reading.download.people.push_back(blackboard_person(prefix, attempts));
    }
}

// A submitter's latest submission of those the metadata lists, and the keys of the others.
struct Chosen {
    const MetadataSubmission* submission;
    const Submitter* submitter;
    std::vector<std::string> earlier;
};

// Each submitter's latest submission, in the order the metadata first names them; a submitter is
// known by SID, else e-mail, else name.
std::vector<std::pair<std::string, Chosen>>
latest_submissions(const std::vector<MetadataSubmission>& metadata)
{
    std::vector<std::pair<std::string, Chosen>> chosen;
    std::map<std::string, std::size_t> by_id;
    for (const MetadataSubmission& submission : metadata) {
        for (const Submitter& submitter : submission.submitters) {
            const std::string id = !submitter.sid.empty()     ? submitter.sid
                                   : !submitter.email.empty() ? submitter.email
                                                              : submitter.name;
            const auto [at, added] = by_id.emplace(id, chosen.size());
            if (added) {
                chosen.push_back({id, Chosen{&submission, &submitter, {}}});
                continue;
            }
            Chosen& known = chosen[at->second].second;
            if (known.submission->key == submission.key) {
                continue; // named twice in one submission
            }
            if (known.submission->created_at < submission.created_at) {
                known.earlier.push_back(known.submission->key);
                known.submission = &submission;
                known.submitter = &submitter;
            } else {
                known.earlier.push_back(submission.key);
            }
        }
    }
    return chosen;
}

DownloadPerson gradescope_person(const std::string& id, const Chosen& chosen,
                                 const std::map<std::string, const DownloadEntry*>& submissions)
{
    DownloadPerson person;
    person.id = shown_name(id, chosen.submission->key);
    person.name = shown_name(chosen.submitter->name, person.id);
    person.receipts.emplace_back(gradescope_metadata);
    if (const auto found = submissions.find(chosen.submission->key); found != submissions.end()) {
        person.entries.push_back({found->second->name, found->second->name, found->second->folder});
    } else {
        person.note = "Gradescope's export has no " + chosen.submission->key;
    }
    for (const Submitter& other : chosen.submission->submitters) {
        const std::string other_id = !other.sid.empty() ? other.sid : other.email;
        if (&other != chosen.submitter && (other_id.empty() || other_id != id)) {
            person.with.push_back(shown_name(other.name, other_id));
        }
    }
    std::set<std::string> earlier;
    for (const std::string& key : chosen.earlier) {
        if (const auto found = submissions.find(key);
            found != submissions.end() && earlier.insert(key).second) {
            person.earlier.push_back(found->second->name);
        }
    }
    if (!person.with.empty()) {
        add_note(person.note, "handed in with " + joined(person.with));
    }
    if (!chosen.earlier.empty()) {
        add_note(person.note, "earlier submissions not checked: " + joined(chosen.earlier));
    }
    return person;
}

void read_gradescope(const Reading& reading)
{
    std::map<std::string, const DownloadEntry*> submissions;
    std::vector<MetadataSubmission> metadata;
    for (const DownloadEntry* entry : reading.entries) {
        const std::string key = gradescope_key(*entry);
        if (!entry->folder && entry->name == gradescope_metadata) {
            metadata = read_gradescope_metadata(entry->text);
        } else if (key.empty() || !submissions.emplace(key, entry).second) {
            reading.download.not_read.push_back(
                {entry->name, key.empty() ? "not a submission_<id> of Gradescope's export"
                                          : "a second entry of " + key});
        }
    }
    std::set<std::string> listed;
    for (const MetadataSubmission& submission : metadata) {
        listed.insert(submission.key);
    }
    for (const auto& [id, chosen] : latest_submissions(metadata)) {
        reading.download.people.push_back(gradescope_person(id, chosen, submissions));
    }
    // A submission the metadata does not name is a person of its own, known by its number.
    for (const auto& [key, entry] : submissions) {
        if (listed.count(key) == 0) {
            DownloadPerson person;
            person.name = key;
            person.id = key.substr(11);
            person.entries.push_back({entry->name, entry->name, entry->folder});
            person.note = "not named in Gradescope's " + std::string(gradescope_metadata);
            reading.download.people.push_back(std::move(person));
        }
    }
}

void read_drive(const Reading& reading)
{
    std::map<std::string, std::vector<Upload>> by_name;
    std::vector<const DownloadEntry*> folders;
    for (const DownloadEntry* entry : reading.entries) {
        const auto name = drive_name(entry->name);
        if (name) {
            const std::string as = safe_file_name(name->second);
            by_name[shown_name(name->first, name->first)].push_back(
                {{entry->name, as, entry->folder}, ""});
        } else if (entry->folder) {
            folders.push_back(entry);
        } else {
            reading.download.not_read.push_back(
                {entry->name, "not named <name> - <file>, as Drive names a hand-in's file"});
        }
    }
    // A folder of its own is its owner's: theirs beside their files, else a person of its name.
    for (const DownloadEntry* folder : folders) {
        by_name[shown_name(folder->name, folder->name)].push_back(
            {{folder->name, folder->name, true}, ""});
    }
    for (auto& [name, uploads] : by_name) {
        DownloadPerson person;
        person.name = name;
        choose_uploads(person, uploads, Platform::google_drive, reading.programs);
        if (!person.earlier.empty()) {
            person.note = "earlier uploads not checked: " + joined(person.earlier);
        }
        reading.download.people.push_back(std::move(person));
    }
}

// Which layout most of the entries have.
Platform layout_of(const std::vector<const DownloadEntry*>& entries)
{
    std::size_t gradescope = 0;
    std::size_t blackboard = 0;
    std::size_t canvas = 0;
    std::size_t drive = 0;
    bool metadata = false;
    for (const DownloadEntry* entry : entries) {
        metadata = metadata || (!entry->folder && entry->name == gradescope_metadata);
        gradescope += gradescope_key(*entry).empty() ? 0 : 1;
        blackboard += blackboard_name(entry->name) ? 1 : 0;
        canvas += canvas_name(entry->name) ? 1 : 0;
        drive += !entry->folder && drive_name(entry->name) ? 1 : 0;
    }
    const auto most = [&](std::size_t count) { return count > 0 && 2 * count > entries.size(); };
    if (gradescope > 0 && (metadata || most(gradescope))) {
        return Platform::gradescope;
    }
    return most(blackboard) ? Platform::blackboard
           : most(canvas)   ? Platform::canvas
           : most(drive)    ? Platform::google_drive
                            : Platform::none;
}

} // namespace

std::string platform_text(Platform platform)
{
    constexpr const char* names[] = {"", "Canvas", "Blackboard", "Gradescope", "Google Drive"};
    return names[static_cast<int>(platform)];
}

Download read_download(const std::vector<DownloadEntry>& top,
                       const std::vector<std::string>& programs)
{
    Download download;
    std::vector<const DownloadEntry*> entries;
    std::vector<NotRead> refused;
    for (const DownloadEntry& entry : top) {
        if (std::string why = refusal(entry.name); !why.empty()) {
            refused.push_back({entry.name, why});
        } else if (is_junk(entry.name)) {
            refused.push_back({entry.name, "what platforms and file managers add"});
        } else {
            entries.push_back(&entry);
        }
    }
    download.platform = layout_of(entries);
    const Reading reading{entries, programs, download};
    switch (download.platform) {
    case Platform::canvas: read_canvas(reading); break;
    case Platform::blackboard: read_blackboard(reading); break;
    case Platform::gradescope: read_gradescope(reading); break;
    case Platform::google_drive: read_drive(reading); break;
    case Platform::none: return download;
    }
    download.not_read.insert(download.not_read.begin(), refused.begin(), refused.end());

    // Every person's name is their own: where two share one, the id (or a number) tells them apart.
    std::map<std::string, std::size_t> uses;
    for (const DownloadPerson& person : download.people) {
        ++uses[person.name];
    }
    std::map<std::string, std::size_t> numbered;
    for (DownloadPerson& person : download.people) {
        if (uses[person.name] > 1) {
            const std::string name = person.name;
            person.name += " " + (person.id.empty() ? std::to_string(++numbered[name]) : person.id);
        }
    }
    std::stable_sort(download.people.begin(), download.people.end(),
                     [](const DownloadPerson& a, const DownloadPerson& b) {
                         return name_order(a.name, b.name);
                     });
    std::set<std::string> folders;
    for (DownloadPerson& person : download.people) {
        // Never hidden, nor taken for what file managers add.
        const std::string folder =
            safe_file_name((person.name.front() == '.' ? "_" : "") + person.name);
        person.folder = folder;
        for (std::size_t more = 2; !folders.insert(person.folder).second; ++more) {
            person.folder = safe_file_name(folder + " (" + std::to_string(more) + ")");
        }
    }
    return download;
}

bool is_wrapper(std::string_view folder, const std::vector<DownloadEntry>& inside,
                const std::vector<std::string>& own_folders)
{
    if (starts_with(folder, "assignment_") && ends_with(folder, "_export") &&
        is_digits(folder.substr(11, folder.size() - 11 - 7))) {
        return true;
    }
    if (read_download(inside).platform != Platform::none) {
        return true;
    }
    std::size_t hand_ins = 0;
    for (const DownloadEntry& entry : inside) {
        if (!refusal(entry.name).empty() || is_junk(entry.name)) {
            continue;
        }
        if (!entry.folder && is_source_name(entry.name)) {
            return false;
        }
        if (entry.folder &&
            std::find(own_folders.begin(), own_folders.end(), entry.name) != own_folders.end()) {
            return false;
        }
        hand_ins += entry.folder || is_archive_name(entry.name) ? 1 : 0;
    }
    return hand_ins >= 2;
}

} // namespace check
