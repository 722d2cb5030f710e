#include "fault_cache.h"

#include "sha256.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace check {
namespace {

// Whether a folder of the cache's is one of its kept folders: 64 lower-case hex digits.
bool is_kept_name(const std::string& name)
{
    return name.size() == 64 && std::all_of(name.begin(), name.end(), [](char letter) {
               return (letter >= '0' && letter <= '9') || (letter >= 'a' && letter <= 'f');
           });
}

} // namespace

fs::path kept_folder(const fs::path& cache, const std::string& identity, const std::string& source)
{
    if (cache.empty() || identity.empty()) {
        return {};
    }
    return cache / sha256_hex(identity + '\0' + source);
}

bool fetch_kept(const fs::path& kept, const std::string& name, const fs::path& executable)
{
    std::error_code error;
    if (kept.empty() || !fs::is_regular_file(kept / name, error)) {
        return false;
    }
    fs::copy_file(kept / name, executable, fs::copy_options::overwrite_existing, error);
    if (error) {
        return false;
    }
    fs::last_write_time(kept, fs::file_time_type::clock::now(), error);
    return true;
}

void keep(const fs::path& kept, const std::string& name, const fs::path& executable)
{
    if (kept.empty()) {
        return;
    }
    std::error_code error;
    fs::create_directories(kept, error);
    fs::permissions(kept.parent_path(), fs::perms::owner_all, error);
    // Under a name of this process's and this copy's own first, then renamed into place.
    static std::atomic<unsigned long> copies{0};
    const fs::path part = kept / (name + ".part-" + std::to_string(::getpid()) + '-' +
                                  std::to_string(copies.fetch_add(1)));
    if (fs::copy_file(executable, part, fs::copy_options::overwrite_existing, error)) {
        fs::rename(part, kept / name, error);
    }
    fs::remove(part, error);
}

void prune_kept(const fs::path& cache, std::chrono::hours unused_for)
{
    std::error_code error;
    const auto oldest = fs::file_time_type::clock::now() - unused_for;
    for (fs::directory_iterator entry(cache, error), end; !error && entry != end;
         entry.increment(error)) {
        std::error_code entry_error;
        if (!is_kept_name(entry->path().filename().string()) ||
            !fs::is_directory(entry->symlink_status(entry_error)) ||
            fs::last_write_time(entry->path(), entry_error) >= oldest || entry_error) {
            continue;
        }
        fs::remove_all(entry->path(), entry_error);
    }
}

} // namespace check
