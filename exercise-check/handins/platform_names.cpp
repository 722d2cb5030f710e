#include "platform_names.h"

#include <algorithm>
#include <cctype>

namespace check {

std::optional<PlatformName> platform_name(std::string_view entry)
{
    const std::string text(entry);
    const std::string marker = "_assignsubmission_";
    const std::size_t at = text.find(marker);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t number = text.rfind('_', at == 0 ? 0 : at - 1);
    if (number == std::string::npos || number == 0 || number + 1 >= at) {
        return std::nullopt;
    }
    PlatformName name;
    name.name = text.substr(0, number);
    name.id = text.substr(number + 1, at - number - 1);
    if (!std::all_of(name.id.begin(), name.id.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; })) {
        return std::nullopt;
    }
    const std::size_t kind_start = at + marker.size();
    const std::size_t kind_end = text.find('_', kind_start);
    if (kind_end == std::string::npos || kind_end == kind_start) {
        return std::nullopt;
    }
    name.kind = text.substr(kind_start, kind_end - kind_start);
    name.file = text.substr(kind_end + 1);
    return name;
}

} // namespace check
