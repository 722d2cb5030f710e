// Precompiled headers kept from one check to the next by a checker that checks again (a watch).
#pragma once

#include "runner.h"

#include <cstddef>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace check {

// The precompiled headers made so far, by the leading headers they were made of: any check given
// them uses a set it finds here, however few of its compiles share it. Shared by threads.
class MadeHeaders {
  public:
    std::optional<std::filesystem::path> find(const std::vector<std::string>& headers) const;
    void add(const std::vector<std::string>& headers, const std::filesystem::path& folder);
    // A folder in work for a new set, named apart from every check's own folders.
    std::filesystem::path reserve(const std::filesystem::path& work);

  private:
    mutable std::mutex mutex_;
    std::map<std::vector<std::string>, std::filesystem::path> made_;
    std::size_t folders_ = 0;
};

// Makes, in work, the precompiled headers of these sources' leading headers that made has not,
// jobs at a time, so that the next check of any of them compiles only what is its own. A source
// that cannot be read is passed over: its check says why.
void prepare_headers(const std::vector<std::filesystem::path>& sources,
                     const std::filesystem::path& work, unsigned jobs, Runner& runner,
                     MadeHeaders& made);

} // namespace check
