// How course platforms name the entries of their downloads, and what the texts in them say:
// Gradescope's metadata, Blackboard's receipts.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace check {

// Canvas's <name>[_late]_<user id>_<attachment id>_<file>: the first _ that such a rest follows
// ends the name.
struct CanvasName {
    std::string name;
    bool late = false;
    std::string user;
    std::string attachment;
    std::string file;
};
std::optional<CanvasName> canvas_name(std::string_view entry);

// Blackboard's <assignment>_<username>_attempt_<YYYY-MM-DD-HH-MM-SS>_<file>, or .txt for the
// attempt's receipt.
struct BlackboardName {
    std::string prefix; // <assignment>_<username>
    std::string date;   // YYYY-MM-DD-HH-MM-SS
    std::string file;   // empty for the receipt
};
std::optional<BlackboardName> blackboard_name(std::string_view entry);

// Drive's <Full Name> - <file>: the name and the file's own name.
std::optional<std::pair<std::string, std::string>> drive_name(std::string_view entry);

// What is read of Gradescope's submission_metadata.yml: each submission's submitters and time, in
// the file's order. Anything else in it, and any line it cannot read, is passed over.
struct Submitter {
    std::string name;
    std::string sid;
    std::string email;
};
struct MetadataSubmission {
    std::string key; // submission_123
    std::vector<Submitter> submitters;
    std::string created_at;
};
std::vector<MetadataSubmission> read_gradescope_metadata(std::string_view text);

// What a Blackboard receipt says: the full name and username on its Name: line, and each file's
// name as handed in for its name in the download.
struct Receipt {
    std::string name;
    std::string username;
    std::vector<std::pair<std::string, std::string>> files; // download's name, original name
};
Receipt read_blackboard_receipt(std::string_view text);

} // namespace check
