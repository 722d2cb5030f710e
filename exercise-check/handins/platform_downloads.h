// Course platforms' downloads read by their names: which platform's, who handed in what, and what
// was left unread and why. Nothing here touches a file: it is given the names and texts.
#pragma once

#include "platform_formats.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace check {

// The layouts, as the platforms and their users describe them:
//
// Canvas, "Download Submissions" (submissions.zip): flat, one file for each file handed in,
//   <name>[_late]_<user id>_<attachment id>_<file>, as in studenttest_3143_207797_zipsubmission.zip
//   (instructure/canvas-lms issue 2406). <name> is the person's last and first names run together
//   in lower case (čehana); _late marks work handed in after the due date. A file uploaded again
//   under a name the person's files already hold gets -1, -2 before its ending (twodigits-1.cpp),
//   as many courses' learners report (IIC1253 issues 13, 26; nus-cs2103 forum 361, 459): the
//   highest is the latest. A teacher who unpacks an attachment gets a folder of the same name
//   without .zip. In a group assignment graded as one the group hands in once, and <name> is the
//   group's: the hand-in is read as one person's, named after the group.
// Blackboard, "Assignment File Download" (gradebook_<course>_<assignment>_<date>.zip): flat,
//   <assignment>_<username>_attempt_<YYYY-MM-DD-HH-MM-SS>_<file> for each file of an attempt, and
//   the attempt's receipt <assignment>_<username>_attempt_<date>.txt, whose lines give the full
//   name (Name: Ana Čeh (aceh)) and each file's name as handed in ("Original filename:"), then
//   as in the download ("Filename:"). Every attempt is in it; the latest is the one checked.
// Gradescope, "Export Submissions": assignment_<id>_export/, in it a folder submission_<id> for
//   each submission (or submission_<id>.pdf for a scanned one) and submission_metadata.yml, a YAML
//   map from submission_<id> to :submitters: (a list of :name:, :sid:, :email:, several for a
//   group's submission) and :created_at: (the autograder's submission_metadata.json documents the
//   like for one submission: its users' name and email, its created_at). Each submitter is a
//   person, a group's hand-in each member's alike; of a person's several, the latest is checked.
// Google Classroom, through Drive's "Download" of the assignment's folder (Zadaca 1/): each file
//   named <Full Name> - <file> (Classroom names a learner's copy that way), a folder for who handed
//   in one; where Drive packs two files of one name, the second gets " (1)" before its ending.
struct DownloadEntry {
    std::string name; // one name, as at the top of the download
    bool folder = false;
    std::string text{}; // a Blackboard receipt's or Gradescope's metadata's text, where read
};

enum class Platform {
    none,
    canvas,
    blackboard,
    gradescope,
    google_drive
};

// "Canvas", "Blackboard", "Gradescope", "Google Drive"; "" for none.
std::string platform_text(Platform platform);

// An entry given to a person: as named in the download, and the name it takes in the hand-in
// (twodigits.cpp for Canvas's čehana_1001_5001_twodigits-1.cpp).
struct GivenEntry {
    std::string entry;
    std::string as;
    bool folder = false;
};

struct DownloadPerson {
    std::string name; // as the platform knows them: Ana Čeh; čehana where Canvas gives no more
    std::string id;   // Canvas's user id, Blackboard's username, Gradescope's SID (else e-mail)
    std::optional<bool> late;          // Canvas's _late; none where the platform does not mark it
    std::vector<GivenEntry> entries;   // the hand-in: the latest of each file or attempt
    std::vector<std::string> earlier;  // earlier uploads, attempts or submissions: never read
    std::vector<std::string> receipts; // Blackboard's receipts, Gradescope's metadata: read
    std::vector<std::string> with;     // the others of a group's submission
    std::string note;                  // what of the above a report says: late, earlier, with
    std::string folder; // what to copy the hand-in into: the name made a safe file name, each
                        // person's their own
};

struct NotRead {
    std::string entry;
    std::string why;
};

struct Download {
    Platform platform = Platform::none;
    std::vector<DownloadPerson> people; // in name order, each name their own
    std::vector<NotRead> not_read;
};

// The layout of a download's top entries, and its people. programs are the exercises' names
// (twodigits): a re-upload's -1 or " (1)" is taken off a file's name where what is left is a
// program's, or the person handed in a file of that name too. Platform::none where no layout
// fits most of the entries: then nothing else is said. An entry whose name no file can have, that
// holds a control character or is longer than 255 bytes, is never given to anyone.
Download read_download(const std::vector<DownloadEntry>& top,
                       const std::vector<std::string>& programs = {});

// Whether the one folder at the top of a download wraps the class rather than being a person's
// hand-in, from what it holds: Gradescope's assignment_<id>_export, a platform's layout, or two
// folders or archives or more with no source beside them and none a hand-in's own (own_folders:
// digit-exercises and its siblings). Its entries are then read as the download's.
bool is_wrapper(std::string_view folder, const std::vector<DownloadEntry>& inside,
                const std::vector<std::string>& own_folders = {});

} // namespace check
