#include "stress.h"

#include <array>
#include <cctype>

namespace check {

namespace {

const std::array<std::string_view, 29> pieces{
    "0",  "7",   "42",  "170", "2147483647", "2147483648", "-",    "+",    " ",   "\n",
    "\t", "\r",  ".",   ",",   "e",          "E",          "e+",   "e-",   "1e2", "1e39",
    "x",  "abc", "inf", "nan", "0x1f",       "\xc3\xa9",   "\xff", "LONG", "-1"};

bool is_digit(char byte)
{
    return std::isdigit(static_cast<unsigned char>(byte)) != 0;
}

// Reads an integer at the front of text: -?[0-9]+
std::size_t integer_length(std::string_view text)
{
    std::size_t at = 0;
    if (at < text.size() && text[at] == '-') {
        ++at;
    }
    const std::size_t digits = at;
    while (at < text.size() && is_digit(text[at])) {
        ++at;
    }
    return at == digits ? 0 : at;
}

// -?(inf|nan|[0-9]+(\.[0-9]+)?(e[-+][0-9]+)?)
std::size_t number_length(std::string_view text)
{
    std::size_t at = 0;
    if (at < text.size() && text[at] == '-') {
        ++at;
    }
    const std::string_view rest = text.substr(at);
    if (rest.substr(0, 3) == "inf" || rest.substr(0, 3) == "nan") {
        return at + 3;
    }
    const std::size_t start = at;
    while (at < text.size() && is_digit(text[at])) {
        ++at;
    }
    if (at == start) {
        return 0;
    }
    if (at + 1 < text.size() && text[at] == '.' && is_digit(text[at + 1])) {
        ++at;
        while (at < text.size() && is_digit(text[at])) {
            ++at;
        }
    }
    if (at + 2 < text.size() && text[at] == 'e' && (text[at + 1] == '-' || text[at + 1] == '+') &&
        is_digit(text[at + 2])) {
        at += 2;
        while (at < text.size() && is_digit(text[at])) {
            ++at;
        }
    }
    return at;
}

} // namespace

std::string InputMaker::next()
{
    std::string input;
    const std::uint32_t count = below(16);
    for (std::uint32_t piece = 0; piece < count; ++piece) {
        const std::string_view chosen = pieces.at(below(static_cast<std::uint32_t>(pieces.size())));
        if (chosen == "LONG") {
            const std::uint32_t length = 200 + below(200);
            for (std::uint32_t digit = 0; digit < length; ++digit) {
                input += static_cast<char>('0' + below(10));
            }
        } else {
            input += chosen;
        }
    }
    return input;
}

bool matches_shape(std::string_view shape, std::string_view output)
{
    // The placeholders stand between fixed texts, so a greedy match of each one is exact: a
    // number is never followed by a digit in a shape.
    while (!shape.empty()) {
        const bool integer = shape.substr(0, 5) == "<int>";
        const bool number = shape.substr(0, 5) == "<num>";
        if (integer || number) {
            const std::size_t length = integer ? integer_length(output) : number_length(output);
            if (length == 0) {
                return false;
            }
            output.remove_prefix(length);
            shape.remove_prefix(5);
            continue;
        }
        if (output.empty() || output.front() != shape.front()) {
            return false;
        }
        output.remove_prefix(1);
        shape.remove_prefix(1);
    }
    return output.empty();
}

bool line_ends_right(std::string_view output, bool crlf)
{
    for (std::size_t at = 0; at < output.size(); ++at) {
        const bool cr_before = at > 0 && output[at - 1] == '\r';
        if (output[at] == '\r' && (!crlf || at + 1 >= output.size() || output[at + 1] != '\n')) {
            return false;
        }
        if (output[at] == '\n' && crlf != cr_before) {
            return false;
        }
    }
    return true;
}

std::string without_crs(std::string_view output)
{
    std::string lf;
    for (std::size_t at = 0; at < output.size(); ++at) {
        if (!(output[at] == '\r' && at + 1 < output.size() && output[at + 1] == '\n')) {
            lf += output[at];
        }
    }
    return lf;
}

} // namespace check
