#include "compare.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace check {

std::string visible_byte(char byte)
{
    switch (byte) {
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: break;
    }
    const auto code = static_cast<unsigned char>(byte);
    if (code >= 32 && code < 127) {
        return std::string(1, byte);
    }
    static const char* const digits = "0123456789abcdef";
    return std::string("\\x") + digits[code >> 4U] + digits[code & 15U];
}

namespace {

std::string name_byte(std::string_view text, std::size_t at)
{
    if (at >= text.size()) {
        return "the end of the output";
    }
    if (text[at] == ' ') {
        return "a blank";
    }
    return "'" + visible_byte(text[at]) + "'";
}

bool is_blank(char byte)
{
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\r' || byte == '\v' ||
           byte == '\f';
}

} // namespace

bool operator==(const Token& left, const Token& right)
{
    return left.text == right.text;
}

std::vector<Token> tokens_of(std::string_view text)
{
    std::vector<Token> found;
    std::size_t at = 0;
    const auto in_word = [](char byte) {
        const auto code = static_cast<unsigned char>(byte);
        return std::isalnum(code) != 0 || byte == '.' || byte == '+' || byte == '-' || code >= 128;
    };
    while (at < text.size()) {
        if (is_blank(text[at])) {
            ++at;
            continue;
        }
        std::size_t end = at + 1;
        if (in_word(text[at])) {
            while (end < text.size() && in_word(text[end])) {
                ++end;
            }
        }
        found.push_back({text.substr(at, end - at), at});
        at = end;
    }
    return found;
}

std::optional<Difference> first_difference(std::string_view expected, std::string_view actual)
{
    const auto [at_expected, at_actual] =
        std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
    if (at_expected == expected.end() && at_actual == actual.end()) {
        return std::nullopt;
    }
    const auto at = static_cast<std::size_t>(at_expected - expected.begin());
    Difference difference;
    const std::string_view same = expected.substr(0, at);
    difference.line = 1 + static_cast<std::size_t>(std::count(same.begin(), same.end(), '\n'));
    const std::size_t last_line_end = same.rfind('\n');
    difference.column = last_line_end == std::string_view::npos ? at + 1 : at - last_line_end;
    difference.expected = name_byte(expected, at);
    difference.actual = name_byte(actual, at);
    return difference;
}

std::string where(const Difference& difference)
{
    return "line " + std::to_string(difference.line) + ", column " +
           std::to_string(difference.column) + ": expected " + difference.expected + ", got " +
           difference.actual;
}

std::string describe(const Difference& difference)
{
    return "first difference at " + where(difference);
}

bool same_but_layout(std::string_view expected, std::string_view actual)
{
    return tokens_of(expected) == tokens_of(actual);
}

std::string visible(std::string_view bytes, std::size_t limit)
{
    std::string shown;
    const std::size_t count = std::min(bytes.size(), limit);
    for (std::size_t at = 0; at < count; ++at) {
        shown += visible_byte(bytes[at]);
        if (bytes[at] == '\n') {
            shown += '\n';
        }
    }
    if (bytes.size() > limit) {
        shown += "... and " + std::to_string(bytes.size() - limit) + " bytes more";
    }
    return shown;
}

std::string with_crlf(std::string_view text)
{
    std::string crlf;
    crlf.reserve(text.size() + text.size() / 8);
    for (const char byte : text) {
        if (byte == '\n') {
            crlf += '\r';
        }
        crlf += byte;
    }
    return crlf;
}

} // namespace check
