#include "folder_entries.h"

#include "sources.h"
#include "text.h"

#include <algorithm>

namespace check {

namespace fs = std::filesystem;

bool is_junk(const std::string& name)
{
    return name.empty() || name == "__MACOSX" || name.front() == '.' || name == "Thumbs.db" ||
           name == "desktop.ini";
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

std::string joined(const std::vector<std::string>& parts, const char* separator)
{
    std::string text;
    for (const std::string& part : parts) {
        text += (text.empty() ? "" : separator) + part;
    }
    return text;
}

std::string left_out_text(const std::string& one, const std::string& many,
                          const std::vector<std::string>& paths)
{
    std::vector<std::string> named(
        paths.begin(),
        paths.begin() + static_cast<std::ptrdiff_t>(std::min(paths.size(), most_named)));
    std::string text = "left out " + std::to_string(paths.size()) + " " +
                       (paths.size() == 1 ? one : many) + ": " + joined(named, ", ");
    if (paths.size() > most_named) {
        text += " and " + std::to_string(paths.size() - most_named) + " more";
    }
    return text;
}

} // namespace check
