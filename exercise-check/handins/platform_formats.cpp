#include "platform_formats.h"

#include "text.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <optional>

namespace check {

namespace {

// The lines of a text, each without its line end.
std::vector<std::string_view> lines_of(std::string_view text)
{
    if (starts_with(text, "\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (ends_with(line, "\r")) {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

void append_utf8(std::string& text, unsigned long code)
{
    if (code >= 0xD800 && code <= 0xDFFF) {
        code = 0xFFFD;
    }
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | (code >> 6));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += static_cast<char>(0xE0 | (code >> 12));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (code >> 18));
        text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The character a YAML escape of one letter stands for: \n, \t, \e and the like.
char unescaped(char escape)
{
    constexpr std::string_view letters = "0abtnvfre";
    constexpr std::string_view characters("\0\a\b\t\n\v\f\r\x1b", 9);
    const std::size_t at = letters.find(escape);
    return at == std::string_view::npos ? escape : characters[at];
}

// A "double-quoted" YAML scalar's text, its escapes undone.
std::string double_quoted(std::string_view text)
{
    std::string value;
    for (std::size_t i = 1; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            value += text[i];
            continue;
        }
        const char escape = text[++i];
        const std::size_t digits = escape == 'x' ? 2 : escape == 'u' ? 4 : escape == 'U' ? 8 : 0;
        const std::string_view hex = text.substr(i + 1, digits);
        if (digits > 0 && hex.size() == digits &&
            std::all_of(hex.begin(), hex.end(),
                        [](unsigned char c) { return std::isxdigit(c) != 0; })) {
            append_utf8(value, std::min(std::stoul(std::string(hex), nullptr, 16), 0x10FFFFUL));
            i += digits;
        } else {
            value += unescaped(escape);
        }
    }
    return value;
}

// Base64 as Ruby writes a !binary string; what is not base64 is passed over.
std::string from_base64(std::string_view text)
{
    constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    unsigned long bits = 0;
    int count = 0;
    for (const char c : text) {
        const std::size_t value = alphabet.find(c);
        if (value == std::string_view::npos) {
            continue;
        }
        bits = (bits << 6) | value;
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return bytes;
}

// The scalar a YAML value holds: plain, quoted, a !binary one, or a block of the lines after it
// (those more indented than the key's, which reading passes by).
std::string yaml_value(std::string_view value, const std::vector<std::string_view>& lines,
                       std::size_t& at, std::size_t indent)
{
    value = trimmed(value);
    const bool binary = starts_with(value, "!binary");
    if (!value.empty() && value.front() == '!') {
        const std::size_t space = value.find(' ');
        value = space == std::string_view::npos ? std::string_view() : trimmed(value.substr(space));
    }
    std::string text;
    if (value.empty() || value.front() == '|' || value.front() == '>') {
        for (; at + 1 < lines.size(); ++at) {
            const std::string_view next = lines[at + 1];
            const std::size_t next_indent = next.find_first_not_of(' ');
            if (next_indent != std::string_view::npos && next_indent <= indent) {
                break;
            }
            text += (text.empty() ? "" : (value.empty() || value.front() == '>' ? " " : "\n")) +
                    std::string(trimmed(next));
        }
    } else if (value.front() == '\'') {
        for (std::size_t i = 1; i < value.size(); ++i) {
            if (value[i] == '\'' && (i + 1 >= value.size() || value[++i] != '\'')) {
                break;
            }
            text += value[i];
        }
    } else if (value.front() == '"') {
        text = double_quoted(value);
    } else {
        const std::size_t comment = value.find(" #");
        text = std::string(trimmed(value.substr(0, comment)));
        if (text == "~" || text == "null") {
            text.clear();
        }
    }
    return binary ? from_base64(text) : text;
}

bool is_digits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](unsigned char c) { return std::isdigit(c) != 0; });
}

bool is_attempt_date(std::string_view text)
{
    constexpr std::string_view form = "0000-00-00-00-00-00";
    return text.size() == form.size() &&
           std::equal(form.begin(), form.end(), text.begin(), [](char f, char c) {
               return f == '-' ? c == '-' : std::isdigit(static_cast<unsigned char>(c)) != 0;
           });
}

} // namespace

std::optional<CanvasName> canvas_name(std::string_view entry)
{
    for (std::size_t at = entry.find('_'); at != std::string_view::npos && at > 0;
         at = entry.find('_', at + 1)) {
        CanvasName name{std::string(entry.substr(0, at)), false, "", "", ""};
        std::string_view rest = entry.substr(at + 1);
        if (starts_with(rest, "late_")) {
            name.late = true;
            rest.remove_prefix(5);
        }
        const std::size_t user_end = rest.find('_');
        const std::size_t attachment_end =
            user_end == std::string_view::npos ? user_end : rest.find('_', user_end + 1);
        if (attachment_end == std::string_view::npos || attachment_end + 1 >= rest.size()) {
            continue;
        }
        name.user = std::string(rest.substr(0, user_end));
        name.attachment = std::string(rest.substr(user_end + 1, attachment_end - user_end - 1));
        name.file = std::string(rest.substr(attachment_end + 1));
        if (is_digits(name.user) && is_digits(name.attachment)) {
            return name;
        }
    }
    return std::nullopt;
}

std::optional<BlackboardName> blackboard_name(std::string_view entry)
{
    constexpr std::string_view marker = "_attempt_";
    for (std::size_t at = entry.find(marker); at != std::string_view::npos && at > 0;
         at = entry.find(marker, at + 1)) {
        const std::string_view date = entry.substr(at + marker.size(), 19);
        const std::string_view after =
            entry.substr(std::min(entry.size(), at + marker.size() + 19));
        if (!is_attempt_date(date)) {
            continue;
        }
        if (after == ".txt") {
            return BlackboardName{std::string(entry.substr(0, at)), std::string(date), ""};
        }
        if (after.size() > 1 && after.front() == '_') {
            return BlackboardName{std::string(entry.substr(0, at)), std::string(date),
                                  std::string(after.substr(1))};
        }
    }
    return std::nullopt;
}

std::optional<std::pair<std::string, std::string>> drive_name(std::string_view entry)
{
    const std::size_t at = entry.find(" - ");
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view name = trimmed(entry.substr(0, at));
    const std::string_view file = entry.substr(at + 3);
    if (name.empty() || trimmed(file).empty()) {
        return std::nullopt;
    }
    return std::make_pair(std::string(name), std::string(file));
}

std::vector<MetadataSubmission> read_gradescope_metadata(std::string_view text)
{
    const std::vector<std::string_view> lines = lines_of(text);
    std::vector<MetadataSubmission> found;
    bool in_submission = false;
    std::size_t list_indent = std::string_view::npos; // :submitters:'s, while in its list
    std::size_t item_indent = 0;
    for (std::size_t at = 0; at < lines.size(); ++at) {
        const std::string_view line = lines[at];
        const std::size_t indent = line.find_first_not_of(' ');
        if (indent == std::string_view::npos || line[indent] == '#' || line == "---") {
            continue;
        }
        std::string_view content = trimmed(line.substr(indent));
        if (indent == 0) {
            list_indent = std::string_view::npos;
            std::string key = ends_with(content, ":")
                                  ? yaml_value(content.substr(0, content.size() - 1), {}, at, 0)
                                  : "";
            // A key written as a symbol (":submission_101:") names the same submission.
            if (starts_with(key, ":")) {
                key.erase(0, 1);
            }
            in_submission = starts_with(key, "submission_");
            if (in_submission) {
                found.push_back({std::move(key), {}, ""});
            }
            continue;
        }
        if (!in_submission) {
            continue;
        }
        const bool item = content == "-" || starts_with(content, "- ");
        if (item) {
            content = trimmed(content.substr(1));
        }
        const std::size_t colon = content.find(':', content.empty() || content[0] != ':' ? 0 : 1);
        const std::string_view key =
            content.substr(0, colon == std::string_view::npos ? 0 : colon + 1);
        const std::string_view value =
            colon == std::string_view::npos ? "" : content.substr(colon + 1);
        MetadataSubmission& submission = found.back();
        if (list_indent != std::string_view::npos &&
            (item ? indent >= list_indent : indent > list_indent)) {
            if (item) {
                submission.submitters.emplace_back();
                item_indent = indent;
            } else if (indent <= item_indent + 1 || submission.submitters.empty()) {
                continue;
            }
            Submitter& submitter = submission.submitters.back();
            std::string* field = key == ":name:"    ? &submitter.name
                                 : key == ":sid:"   ? &submitter.sid
                                 : key == ":email:" ? &submitter.email
                                                    : nullptr;
            if (field != nullptr) {
                const std::size_t column = item ? line.find_first_not_of(' ', indent + 1) : indent;
                *field = yaml_value(value, lines, at, column);
            }
            continue;
        }
        list_indent = std::string_view::npos;
        if (key == ":submitters:" && trimmed(value).empty()) {
            list_indent = indent;
        } else if (key == ":created_at:") {
            submission.created_at = yaml_value(value, lines, at, indent);
        }
    }
    return found;
}

Receipt read_blackboard_receipt(std::string_view text)
{
    Receipt receipt;
    std::string original;
    bool named = false;
    for (const std::string_view line : lines_of(text)) {
        const std::string_view content = trimmed(line);
        if (!named && starts_with(content, "Name:")) {
            named = true;
            const std::string_view rest = trimmed(content.substr(5));
            const std::size_t open = rest.rfind(" (");
            if (ends_with(rest, ")") && open != std::string_view::npos) {
                receipt.name = std::string(trimmed(rest.substr(0, open)));
                receipt.username =
                    std::string(trimmed(rest.substr(open + 2, rest.size() - open - 3)));
            } else {
                receipt.name = std::string(rest);
            }
        } else if (starts_with(content, "Original filename:")) {
            original = std::string(trimmed(content.substr(18)));
        } else if (starts_with(content, "Filename:") && !original.empty()) {
            receipt.files.emplace_back(std::string(trimmed(content.substr(9))), original);
            original.clear();
        }
    }
    return receipt;
}

} // namespace check
