#include "archives.h"

#include "descriptor.h"
#include "text.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <memory>

namespace check {

namespace fs = std::filesystem;

namespace {

using ArchivePointer = std::unique_ptr<archive, decltype(&archive_read_free)>;

// Code page 852 from 0x80 on.
constexpr std::array<char16_t, 128> code_page_852{
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x016F, 0x0107, 0x00E7, 0x0142, 0x00EB, 0x0150, 0x0151,
    0x00EE, 0x0179, 0x00C4, 0x0106, 0x00C9, 0x0139, 0x013A, 0x00F4, 0x00F6, 0x013D, 0x013E, 0x015A,
    0x015B, 0x00D6, 0x00DC, 0x0164, 0x0165, 0x0141, 0x00D7, 0x010D, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x0104, 0x0105, 0x017D, 0x017E, 0x0118, 0x0119, 0x00AC, 0x017A, 0x010C, 0x015F, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x011A, 0x015E, 0x2563, 0x2551, 0x2557,
    0x255D, 0x017B, 0x017C, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x0102, 0x0103,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4, 0x0111, 0x0110, 0x010E, 0x00CB,
    0x010F, 0x0147, 0x00CD, 0x00CE, 0x011B, 0x2518, 0x250C, 0x2588, 0x2584, 0x0162, 0x016E, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x0143, 0x0144, 0x0148, 0x0160, 0x0161, 0x0154, 0x00DA, 0x0155, 0x0170,
    0x00FD, 0x00DD, 0x0163, 0x00B4, 0x00AD, 0x02DD, 0x02DB, 0x02C7, 0x02D8, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x02D9, 0x0171, 0x0158, 0x0159, 0x25A0, 0x00A0,
};

std::string lower(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char byte) { return static_cast<char>(std::tolower(byte)); });
    return result;
}

std::size_t archive_ending(std::string_view name)
{
    const std::string low = lower(name);
    for (const std::string_view ending :
         {".tar.gz", ".tar.bz2", ".tar.xz", ".zip", ".tar", ".tgz", ".7z", ".rar"}) {
        if (low.size() > ending.size() &&
            std::string_view(low).substr(low.size() - ending.size()) == ending) {
            return ending.size();
        }
    }
    return 0;
}

std::string error_text(archive* reader)
{
    const char* text = archive_error_string(reader);
    return text == nullptr ? "unknown error" : entry_name_text(text);
}

// While it lives, this thread reads names in UTF-8: libarchive converts an entry's UTF-8 name to
// the thread's character set, and gives none at all where the C locale cannot hold it.
struct Utf8Names {
    locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    locale_t before = utf8 != nullptr ? uselocale(utf8) : nullptr;
    Utf8Names() = default;
    Utf8Names(const Utf8Names&) = delete;
    Utf8Names& operator=(const Utf8Names&) = delete;
    Utf8Names(Utf8Names&&) = delete;
    Utf8Names& operator=(Utf8Names&&) = delete;
    ~Utf8Names()
    {
        if (utf8 != nullptr) {
            uselocale(before);
            freelocale(utf8);
        }
    }
};

// A reader of only these formats: others (mtree among them) may name files on this system to
// read.
ArchivePointer archive_reader()
{
    ArchivePointer reader(archive_read_new(), archive_read_free);
    archive_read_support_format_zip(reader.get());
    archive_read_support_format_tar(reader.get());
    archive_read_support_format_gnutar(reader.get());
    archive_read_support_format_7zip(reader.get());
    archive_read_support_format_rar(reader.get());
    archive_read_support_format_rar5(reader.get());
    archive_read_support_filter_gzip(reader.get());
    archive_read_support_filter_bzip2(reader.get());
    archive_read_support_filter_xz(reader.get());
    return reader;
}

// Copies the entry's data to out, bytes counting what all entries unpacked so far; why not, when
// it cannot be read or the bytes go past most.
std::optional<std::string> copy_entry(archive* reader, std::ofstream& out, std::uint64_t& bytes,
                                      std::uint64_t most, const std::string& too_large)
{
    std::array<char, 65536> buffer{};
    for (;;) {
        const la_ssize_t count = archive_read_data(reader, buffer.data(), buffer.size());
        if (count < 0) {
            return "could not be read: " + error_text(reader);
        }
        if (count == 0) {
            return std::nullopt;
        }
        bytes += static_cast<std::uint64_t>(count);
        if (bytes > most) {
            return too_large;
        }
        out.write(buffer.data(), static_cast<std::streamsize>(count));
    }
}

} // namespace

std::string limits_text(const ArchiveLimits& limits)
{
    return std::to_string(limits.bytes / (1024 * 1024)) + " MiB or " +
           std::to_string(limits.entries) + " entries";
}

bool is_archive_name(std::string_view name)
{
    return archive_ending(name) > 0;
}

std::string without_archive_ending(std::string_view name)
{
    return std::string(name.substr(0, name.size() - archive_ending(name)));
}

std::string entry_name_text(std::string_view name)
{
    if (is_utf8(name)) {
        return std::string(name);
    }
    std::string text;
    for (const char byte : name) {
        const auto code = static_cast<unsigned char>(byte);
        const char32_t point = code < 0x80 ? code : code_page_852[code - 0x80];
        if (point < 0x80) {
            text += static_cast<char>(point);
        } else if (point < 0x800) {
            text += static_cast<char>(0xC0 | (point >> 6));
            text += static_cast<char>(0x80 | (point & 0x3F));
        } else {
            text += static_cast<char>(0xE0 | (point >> 12));
            text += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (point & 0x3F));
        }
    }
    return text;
}

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

Unpacked unpack_archive(const fs::path& file, const fs::path& into, const ArchiveLimits& limits)
{
    const Utf8Names names;
    Unpacked result;
    std::error_code error;
    fs::create_directories(into, error);
    const auto fail = [&](std::string why) {
        std::error_code ignored;
        fs::remove_all(into, ignored);
        fs::create_directories(into, ignored);
        result = Unpacked{};
        result.problem = std::move(why);
        return result;
    };

    const Descriptor opened(::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (opened.fd < 0 || ::fstat(opened.fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        return fail("could not be read: not a plain file");
    }
    ArchivePointer reader = archive_reader();
    if (archive_read_open_fd(reader.get(), opened.fd, 65536) != ARCHIVE_OK) {
        return fail("could not be read: " + error_text(reader.get()));
    }
    const std::string too_large = "unpacks to more than " + limits_text(limits);
    for (;;) {
        archive_entry* entry = nullptr;
        const int status_read = archive_read_next_header(reader.get(), &entry);
        if (status_read == ARCHIVE_EOF) {
            break;
        }
        if (status_read < ARCHIVE_WARN) {
            return fail("could not be read: " + error_text(reader.get()));
        }
        if (++result.entries > limits.entries) {
            return fail(too_large);
        }
        const char* utf8 = archive_entry_pathname_utf8(entry);
        const char* name = utf8 != nullptr ? utf8 : archive_entry_pathname(entry);
        const std::optional<fs::path> relative =
            name == nullptr ? std::nullopt : safe_entry_path(entry_name_text(name));
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
            result.bytes +
                    static_cast<std::uint64_t>(std::max<la_int64_t>(0, archive_entry_size(entry))) >
                limits.bytes) {
            return fail(too_large);
        }
        fs::create_directories(target.parent_path(), error);
        if (fs::is_directory(target, error)) {
            ++result.skipped;
            continue;
        }
        // Nothing unpacked is a link, so no path written to can lead outside the folder.
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        if (!out) {
            ++result.skipped;
            continue;
        }
        if (const std::optional<std::string> why =
                copy_entry(reader.get(), out, result.bytes, limits.bytes, too_large)) {
            return fail(*why);
        }
        if (!out.flush()) {
            return fail("could not be unpacked: the disk is full or cannot be written");
        }
        ++result.files;
    }
    result.ok = true;
    return result;
}

} // namespace check
