#include "text.h"

#include <cstdint>

namespace check {

namespace {

constexpr std::string_view replacement = "\xEF\xBF\xBD"; // U+FFFD

// A control character: C0 but tab and line end, DEL, or C1 (U+0080 to U+009F).
bool is_control(std::string_view character)
{
    const auto first = static_cast<unsigned char>(character.front());
    if (character.size() == 1) {
        return (first < 0x20 && first != '\n' && first != '\t') || first == 0x7F;
    }
    return character.size() == 2 && first == 0xC2 &&
           static_cast<unsigned char>(character[1]) < 0xA0;
}

// Calls each with every character of text: a valid UTF-8 sequence, or U+FFFD for a byte that
// does not start one.
template <typename Each> void for_each_character(std::string_view text, Each each)
{
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8_length(text, at);
        each(length == 0 ? replacement : text.substr(at, length));
        at += length == 0 ? 1 : length;
    }
}

} // namespace

bool is_utf8(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8_length(text, at);
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

std::size_t utf8_length(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(at);
    if (first < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
        code = first & 0x1FU;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        code = first & 0x0FU;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        code = first & 0x07U;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0U) != 0x80U) {
            return 0;
        }
        code = (code << 6U) | (byte(at + i) & 0x3FU);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return overlong || surrogate || code > 0x10FFFF ? 0 : length;
}

std::string valid_utf8(std::string_view text, bool controls)
{
    std::string valid;
    valid.reserve(text.size());
    for_each_character(text, [&](std::string_view character) {
        valid += !controls && is_control(character) ? replacement : character;
    });
    return valid;
}

std::string for_terminal(std::string_view text)
{
    return valid_utf8(text, false);
}

std::string terminal_line(std::string_view text)
{
    std::string line = for_terminal(text);
    for (char& byte : line) {
        byte = byte == '\n' || byte == '\t' ? ' ' : byte;
    }
    return line;
}

std::string html_escaped(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char byte : valid_utf8(text, false)) {
        switch (byte) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&#39;"; break;
        default: escaped += byte; break;
        }
    }
    return escaped;
}

std::string xml_escaped(std::string_view text, bool attribute)
{
    std::string escaped;
    escaped.reserve(text.size());
    for_each_character(text, [&](std::string_view character) {
        const char first = character.front();
        if (first == '\r' || (attribute && (first == '\t' || first == '\n'))) {
            escaped += "&#" + std::to_string(static_cast<int>(first)) + ';';
        } else if (is_control(character) || character == "\xEF\xBF\xBE" ||
                   character == "\xEF\xBF\xBF") {
            escaped += replacement;
        } else if (first == '&') {
            escaped += "&amp;";
        } else if (first == '<') {
            escaped += "&lt;";
        } else if (first == '>') {
            escaped += "&gt;";
        } else if (first == '"') {
            escaped += "&quot;";
        } else {
            escaped += character;
        }
    });
    return escaped;
}

std::string csv_cell(std::string_view text)
{
    std::string cell;
    cell.reserve(text.size());
    for_each_character(text, [&](std::string_view character) {
        if (!is_control(character) || character == "\r") {
            cell += character;
        }
    });
    const bool formula =
        !cell.empty() && std::string_view("=+-@\t\r").find(cell.front()) != std::string_view::npos;
    if (!formula && cell.find_first_of(",\"\r\n") == std::string::npos) {
        return cell;
    }
    std::string quoted = formula ? "\"'" : "\"";
    for (const char byte : cell) {
        quoted += byte;
        if (byte == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

bool name_order(std::string_view left, std::string_view right)
{
    const auto is_digit = [](char byte) { return byte >= '0' && byte <= '9'; };
    const auto lower = [](char byte) {
        return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a') : byte;
    };
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < left.size() && j < right.size()) {
        if (is_digit(left[i]) && is_digit(right[j])) {
            // A number by its value: its digits without leading zeros, fewer first.
            const auto number = [&](std::string_view text, std::size_t& at) {
                while (at < text.size() && text[at] == '0') {
                    ++at;
                }
                const std::size_t start = at;
                while (at < text.size() && is_digit(text[at])) {
                    ++at;
                }
                return text.substr(start, at - start);
            };
            const std::string_view a = number(left, i);
            const std::string_view b = number(right, j);
            if (a.size() != b.size()) {
                return a.size() < b.size();
            }
            if (a != b) {
                return a < b;
            }
            continue;
        }
        if (lower(left[i]) != lower(right[j])) {
            return static_cast<unsigned char>(lower(left[i])) <
                   static_cast<unsigned char>(lower(right[j]));
        }
        ++i;
        ++j;
    }
    if (i < left.size() || j < right.size()) {
        return j < right.size();
    }
    return left < right;
}

std::string plain_text(std::string_view bytes, std::size_t limit, bool one_line)
{
    std::string text;
    const std::size_t count = std::min(bytes.size(), limit);
    for (std::size_t at = 0; at < count; ++at) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        if ((!one_line && (byte == '\n' || byte == '\t')) || (byte >= 0x20 && byte != 0x7F)) {
            text += static_cast<char>(byte);
        } else {
            static constexpr std::string_view hex = "0123456789ABCDEF";
            text += "\\x";
            text += hex[byte >> 4U];
            text += hex[byte & 0xFU];
        }
    }
    if (bytes.size() > limit) {
        text += (one_line ? " ... and " : "\n... and ") + std::to_string(bytes.size() - limit) +
                " bytes more";
    }
    return text;
}

std::vector<std::string> lines_of_text(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool starts_with(std::string_view text, std::string_view start)
{
    return text.substr(0, start.size()) == start;
}

bool ends_with(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

std::string_view trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace check
