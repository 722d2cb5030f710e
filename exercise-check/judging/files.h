// Reads a file whole: never more than a bound, through a link only where asked, and every
// failure said in one line that names the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace check {

// Whether the file may be reached through a link: a hand-in's never is, since a link in it could
// lead anywhere on the checker's system.
enum class Links {
    followed,
    refused
};

struct FileRead {
    std::optional<std::string> bytes; // all of them, an empty file's none
    std::string problem;              // when there are no bytes: "cannot read x: no such file"
    bool missing = false;             // there is no file of that name (nor a link by it)
};

// "1 MiB", "64 KiB", "100 bytes"
std::string size_text(std::uint64_t bytes);

// The bytes of a plain file of at most max_bytes; a folder, a device, a pipe, a larger file and,
// with links refused, a link are not read. The size is known before anything is read, and a file
// that grows while it is read is refused all the same.
FileRead read_file(const std::filesystem::path& path, std::uint64_t max_bytes,
                   Links links = Links::followed);

// The bytes, as read_file reads them; throws std::runtime_error with its problem when it cannot.
std::string read_file_or_throw(const std::filesystem::path& path, std::uint64_t max_bytes,
                               Links links = Links::followed);

} // namespace check
