#include "files.h"

#include "descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace check {

namespace {

FileRead refused(const std::filesystem::path& path, const std::string& why, bool missing = false)
{
    FileRead read;
    read.problem = "cannot read " + path.string() + ": " + why;
    read.missing = missing;
    return read;
}

} // namespace

std::string size_text(std::uint64_t bytes)
{
    constexpr std::uint64_t kib = 1024;
    if (bytes >= kib * kib && bytes % (kib * kib) == 0) {
        return std::to_string(bytes / (kib * kib)) + " MiB";
    }
    if (bytes >= kib && bytes % kib == 0) {
        return std::to_string(bytes / kib) + " KiB";
    }
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

FileRead read_file(const std::filesystem::path& path, std::uint64_t max_bytes, Links links)
{
    // Not blocking on a pipe's writer, and not following a link where links are refused.
    const int flags =
        O_RDONLY | O_CLOEXEC | O_NONBLOCK | (links == Links::refused ? O_NOFOLLOW : 0);
    const Descriptor in(::open(path.c_str(), flags));
    if (in.fd < 0) {
        const int error = errno;
        if (error == ELOOP && links == Links::refused) {
            return refused(path, "it is a link");
        }
        return refused(path, error == ENOENT ? "no such file" : std::strerror(error),
                       error == ENOENT);
    }
    struct stat status {};
    if (::fstat(in.fd, &status) != 0) {
        return refused(path, std::strerror(errno));
    }
    if (S_ISDIR(status.st_mode)) {
        return refused(path, "it is a folder");
    }
    if (!S_ISREG(status.st_mode)) {
        return refused(path, "it is not a plain file");
    }
    const std::string too_large = "it is larger than " + size_text(max_bytes);
    if (static_cast<std::uint64_t>(status.st_size) > max_bytes) {
        return refused(path, too_large);
    }
    std::string bytes(static_cast<std::size_t>(status.st_size) + 1, '\0');
    std::size_t got = 0;
    for (;;) {
        if (got == bytes.size()) { // it grew: one more byte tells whether past the bound
            if (got > max_bytes) {
                return refused(path, too_large);
            }
            bytes.resize(std::min<std::uint64_t>(max_bytes + 1, bytes.size() * 2 + 1));
        }
        const ssize_t count = ::read(in.fd, &bytes[got], bytes.size() - got);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return refused(path, std::strerror(errno));
        }
        if (count == 0) {
            break;
        }
        got += static_cast<std::size_t>(count);
    }
    if (got > max_bytes) {
        return refused(path, too_large);
    }
    bytes.resize(got);
    FileRead read;
    read.bytes = std::move(bytes);
    return read;
}

std::string read_file_or_throw(const std::filesystem::path& path, std::uint64_t max_bytes,
                               Links links)
{
    FileRead read = read_file(path, max_bytes, links);
    if (!read.bytes) {
        throw std::runtime_error(read.problem);
    }
    return std::move(*read.bytes);
}

} // namespace check
