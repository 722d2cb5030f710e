#include "wrap.h"

#include <sstream>

namespace check {

std::string wrapped(std::string_view text, std::size_t width, std::size_t indent, std::size_t first)
{
    std::string result;
    std::size_t column = first;
    bool line_empty = true;
    std::istringstream words{std::string(text)};
    for (std::string word; words >> word;) {
        if (!line_empty && column + 1 + word.size() > width) {
            result += '\n' + std::string(indent, ' ');
            column = indent;
            line_empty = true;
        }
        if (!line_empty) {
            result += ' ';
            ++column;
        }
        result += word;
        column += word.size();
        line_empty = false;
    }
    return result + '\n';
}

} // namespace check
