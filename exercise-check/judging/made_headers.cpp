#include "made_headers.h"

#include "build.h"
#include "files.h"
#include "located.h"
#include "pool.h"

#include <set>

namespace check {

namespace fs = std::filesystem;

std::optional<fs::path> MadeHeaders::find(const std::vector<std::string>& headers) const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = made_.find(headers);
    if (found == made_.end()) {
        return std::nullopt;
    }
    return found->second;
}

void MadeHeaders::add(const std::vector<std::string>& headers, const fs::path& folder)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    made_.emplace(headers, folder);
}

fs::path MadeHeaders::reserve(const fs::path& work)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return work / ("kept-headers-" + std::to_string(folders_++));
}

void prepare_headers(const std::vector<fs::path>& sources, const fs::path& work, unsigned jobs,
                     Runner& runner, MadeHeaders& made)
{
    if (!runner.precompiles()) {
        return;
    }
    std::set<std::vector<std::string>> wanted;
    for (const fs::path& source : sources) {
        const FileRead read = read_file(source, largest_source, Links::refused);
        if (read.bytes) {
            std::vector<std::string> headers = leading_includes(*read.bytes);
            if (!headers.empty() && !made.find(headers)) {
                wanted.insert(std::move(headers));
            }
        }
    }
    Pool pool;
    for (const std::vector<std::string>& headers : wanted) {
        pool.add([&runner, &made, &work, &headers] {
            const fs::path folder = made.reserve(work);
            if (runner.precompile(headers, folder)) {
                made.add(headers, folder);
            }
        });
    }
    pool.run(jobs);
}

} // namespace check
