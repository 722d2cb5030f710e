#include "difference_words.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <vector>

namespace check {

namespace {

bool is_blank(char byte)
{
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\r' || byte == '\v' ||
           byte == '\f';
}

std::size_t line_at(std::string_view text, std::size_t at)
{
    const std::string_view before = text.substr(0, std::min(at, text.size()));
    return 1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
}

std::string quoted(std::string_view text)
{
    return "\"" + visible(text, 60) + "\"";
}

bool ends_a_phrase(std::string_view word)
{
    return !word.empty() && std::string_view(":!?.;").find(word.back()) != std::string_view::npos;
}

// The words on the line before at that a reader finds on the screen just before the place: its
// last phrase, back to the word after the one that ends in a colon or a point ("Lijeva
// znamenka:", "Uneseni broj:"), and the label before it when the phrase is only a value
// ("Opseg kruga: 15.708").
std::string_view text_before(std::string_view text, std::size_t at)
{
    const std::size_t line_end = at == 0 ? std::string_view::npos : text.rfind('\n', at - 1);
    const std::size_t start = line_end == std::string_view::npos ? 0 : line_end + 1;
    std::string_view line = text.substr(start, at - start);
    while (!line.empty() && is_blank(line.back())) {
        line.remove_suffix(1);
    }
    std::size_t from = line.size();
    std::size_t phrases = 0;
    while (from > 0) {
        std::size_t word = from;
        while (word > 0 && !is_blank(line[word - 1])) {
            --word;
        }
        if (from != line.size() && ends_a_phrase(line.substr(word, from - word)) &&
            (++phrases > 1 || ends_a_phrase(line))) {
            break;
        }
        from = word;
        while (from > 0 && is_blank(line[from - 1])) {
            --from;
        }
    }
    while (from < line.size() && is_blank(line[from])) {
        ++from;
    }
    return line.substr(from);
}

std::string after(std::string_view text, std::size_t at)
{
    const std::string_view before = text_before(text, at);
    return before.empty() ? "at the start of the line" : "after " + quoted(before);
}

// The lines of a text, the last one what follows its last line end (empty when it ends in one).
std::vector<std::string_view> lines(std::string_view text)
{
    std::vector<std::string_view> found;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string_view::npos;
         end = text.find('\n', start)) {
        found.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    found.push_back(text.substr(start));
    return found;
}

std::string line_text(std::size_t line)
{
    return "line " + std::to_string(line) + ": ";
}

// Where only blanks and line ends differ: which is missing or too many, and where.
std::string layout_in_words(std::string_view expected, std::string_view actual, std::size_t at)
{
    const char wanted = at < expected.size() ? expected[at] : '\0';
    const char got = at < actual.size() ? actual[at] : '\0';
    const std::string line = line_text(line_at(expected, at));
    const bool wanted_end = at >= expected.size();
    const bool got_end = at >= actual.size();
    const bool starts_line = at == 0 || expected[at - 1] == '\n';
    if (wanted == ' ' || wanted == '\t') {
        const char* blank = wanted == ' ' ? "a blank" : "a tab";
        if (got == '\n' || got == ' ' || got == '\t') {
            return line + "write " + blank + ", not " +
                   (got == '\n'  ? "a line end"
                    : got == ' ' ? "a blank"
                                 : "a tab") +
                   ", " + after(expected, at);
        }
        return line + "write " + blank + " " + after(expected, at);
    }
    if (got == ' ' || got == '\t') {
        const char* blank = got == ' ' ? "the blank" : "the tab";
        if (wanted_end || wanted == '\n' || wanted == '\r') {
            return line + "leave out " + blank + " at the end of the line, " + after(actual, at);
        }
        return line + "leave out " + blank + " " + after(actual, at);
    }
    if (wanted == '\r' && got == '\n') {
        return line + "write the line end as CRLF (\\r\\n) " + after(expected, at);
    }
    if (wanted == '\n' && got == '\r') {
        return line + "write the line end as \\n alone, without a CR (\\r) before it, " +
               after(expected, at);
    }
    if (wanted == '\n' || wanted == '\r') {
        if (starts_line && at == 0) {
            return line + "start the output with an empty line";
        }
        if (starts_line) {
            return line + "write an empty line after " +
                   quoted(lines(expected)[line_at(expected, at) - 2]);
        }
        if (got_end) {
            return line + "end the last line with a line end, " + after(expected, at);
        }
        return line + "write a line end " + after(expected, at);
    }
    if (got == '\n' || got == '\r') {
        const bool empty_line = at == 0 || actual[at - 1] == '\n';
        if (empty_line && at == 0) {
            return line + "leave out the empty line at the start";
        }
        if (empty_line) {
            return line + "leave out the empty line after " +
                   quoted(lines(actual)[line_at(actual, at) - 2]);
        }
        if (wanted_end) {
            return line + "leave out the line end at the end: the output ends " + after(actual, at);
        }
        return line + "leave out the line end " + after(actual, at) + ": the line goes on";
    }
    return {};
}

bool ascii_letters_only(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char byte) {
        return std::isalpha(static_cast<unsigned char>(byte)) != 0;
    });
}

bool letters_only(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char byte) {
        const auto code = static_cast<unsigned char>(byte);
        return std::isalpha(code) != 0 || code >= 128;
    });
}

// The text with each Latin letter with a diacritic (U+00C0 to U+017F) as its plain letter; empty
// when it holds another byte outside ASCII.
std::string without_diacritics(std::string_view text)
{
    // U+00C0 to U+00FF, then U+0100 to U+017F; '?' where no letter of ASCII stands for it.
    static constexpr std::string_view plain =
        "AAAAAAACEEEEIIIIDNOOOOO?OUUUUYTsaaaaaaaceeeeiiiidnooooo?ouuuuyty"
        "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIiJjJjKkkLlLlLlL"
        "lLlNnNnNnnNnOoOoOoOoRrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";
    static_assert(plain.size() == 0x180 - 0xC0);
    std::string folded;
    for (std::size_t at = 0; at < text.size();) {
        const auto first = static_cast<unsigned char>(text[at]);
        if (first < 128) {
            folded += text[at++];
            continue;
        }
        if (at + 1 >= text.size() || first < 0xC3 || first > 0xC5) {
            return {};
        }
        const auto code = static_cast<std::size_t>(
            ((first & 0x1FU) << 6U) | (static_cast<unsigned char>(text[at + 1]) & 0x3FU));
        if ((static_cast<unsigned char>(text[at + 1]) & 0xC0U) != 0x80U || code < 0xC0 ||
            plain[code - 0xC0] == '?') {
            return {};
        }
        folded += plain[code - 0xC0];
        at += 2;
    }
    return folded;
}

bool same_but_case(std::string_view left, std::string_view right)
{
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

std::size_t edit_distance(std::string_view left, std::string_view right)
{
    std::vector<std::size_t> row(right.size() + 1);
    for (std::size_t j = 0; j <= right.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= left.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= right.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min(
                {row[j] + 1, row[j - 1] + 1, diagonal + (left[i - 1] == right[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[right.size()];
}

// A number as a stream or printf writes it: its significant digits and whether it has an
// exponent, or nothing when the text is not one.
struct Number {
    double value = 0;
    std::size_t digits = 0; // significant, as written: trailing zeros count
    bool exponent = false;
    bool whole = true; // no point, no exponent
};

std::optional<Number> number(std::string_view text)
{
    std::size_t at = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
    const std::string_view body = text.substr(at);
    if (body == "inf" || body == "nan") {
        return Number{std::strtod(std::string(text).c_str(), nullptr), 0, false, false};
    }
    Number found;
    bool leading = true;
    bool any = false;
    for (; at < text.size() && text[at] != 'e' && text[at] != 'E'; ++at) {
        if (text[at] == '.') {
            found.whole = false;
        } else if (std::isdigit(static_cast<unsigned char>(text[at])) != 0) {
            any = true;
            leading = leading && text[at] == '0';
            found.digits += leading ? 0 : 1;
        } else {
            return std::nullopt;
        }
    }
    if (!any || std::count(text.begin(), text.end(), '.') > 1) {
        return std::nullopt;
    }
    if (at < text.size()) {
        std::size_t digits =
            at + 1 < text.size() && (text[at + 1] == '+' || text[at + 1] == '-') ? at + 2 : at + 1;
        if (digits >= text.size() ||
            !std::all_of(
                text.begin() + static_cast<std::ptrdiff_t>(digits), text.end(),
                [](char byte) { return std::isdigit(static_cast<unsigned char>(byte)); })) {
            return std::nullopt;
        }
        found.exponent = true;
        found.whole = false;
    }
    found.value = std::strtod(std::string(text).c_str(), nullptr);
    return found;
}

// The same value written otherwise: with an exponent where it has none or the other way round,
// or with more digits than the exercise shows (19.634954, 175.000000), not merely another value
// close by (19.635 for 19.6349) or another whole number.
bool another_notation(const Number& wanted, const Number& got)
{
    if (wanted.whole && got.whole) {
        return false;
    }
    if (!std::isfinite(wanted.value) || !std::isfinite(got.value) ||
        std::signbit(wanted.value) != std::signbit(got.value)) {
        return false;
    }
    const double scale = std::max(std::fabs(wanted.value), std::fabs(got.value));
    const bool close = std::fabs(wanted.value - got.value) <= 1e-4 * scale;
    return close && (wanted.exponent != got.exponent || got.digits > wanted.digits);
}

std::string said(std::string_view token)
{
    return number(token) ? std::string(token) : quoted(token);
}

} // namespace

namespace {

// A block of whole lines the output leaves out, or has too many: which, and where.
std::string lines_in_words(std::string_view expected, std::string_view actual)
{
    const std::vector<std::string_view> wanted = lines(expected);
    const std::vector<std::string_view> got = lines(actual);
    const bool missing = wanted.size() > got.size();
    const std::vector<std::string_view>& longer = missing ? wanted : got;
    const std::vector<std::string_view>& shorter = missing ? got : wanted;
    const std::size_t count = longer.size() - shorter.size();
    const auto first = static_cast<std::size_t>(
        std::mismatch(shorter.begin(), shorter.end(), longer.begin()).first - shorter.begin());
    if (count == 0 ||
        !std::equal(shorter.begin() + static_cast<std::ptrdiff_t>(first), shorter.end(),
                    longer.begin() + static_cast<std::ptrdiff_t>(first + count))) {
        return {};
    }
    const std::string where_to = first == 0 ? "first" : "after line " + std::to_string(first);
    const std::string from = quoted(longer[first]);
    const std::string to = quoted(longer[first + count - 1]);
    if (count == 1) {
        return line_text(first + 1) +
               (missing ? "the line " + from + " is missing: write it " + where_to
                        : "leave out the line " + from);
    }
    const std::string block = "lines " + std::to_string(first + 1) + " to " +
                              std::to_string(first + count) + ", " + from + " to " + to;
    return missing ? block + ", are missing: write them " + where_to
                   : "leave out " + block + ": they are not in the expected output";
}

// What one token the output has in place of the expected one is: another case, diacritics,
// another notation of the number, another value, a misspelt word.
std::string token_in_words(std::string_view wanted, std::string_view got, const std::string& line)
{
    const std::string instead = "write " + said(wanted) + ", not " + said(got);
    if (same_but_case(wanted, got)) {
        return line + instead + ": mind the capital and small letters";
    }
    if (ascii_letters_only(wanted) && without_diacritics(got) == wanted) {
        return line + instead + ": the exercise writes its letters plain, without diacritics";
    }
    const std::optional<Number> wanted_number = number(wanted);
    const std::optional<Number> got_number = number(got);
    if (wanted_number && got_number) {
        if (another_notation(*wanted_number, *got_number)) {
            return line + instead +
                   ": the same value in another notation; write it with << and the stream's "
                   "default format, without fixed, setprecision or printf";
        }
        return line + instead + ": another value";
    }
    const std::size_t shorter = std::min(wanted.size(), got.size());
    if (letters_only(wanted) && letters_only(got) &&
        edit_distance(wanted, got) <= std::max<std::size_t>(1, shorter / 3)) {
        return line + instead + ": a misspelt word";
    }
    return {};
}

// Where the words, numbers or signs differ: which is missing, too many, swapped or other.
std::string words_in_words(std::string_view expected, std::string_view actual)
{
    const std::vector<Token> wanted = tokens_of(expected);
    const std::vector<Token> got = tokens_of(actual);
    const auto at = static_cast<std::size_t>(
        std::mismatch(wanted.begin(), wanted.end(), got.begin(), got.end()).first - wanted.begin());
    const auto same_from = [](const std::vector<Token>& left, std::size_t i,
                              const std::vector<Token>& right, std::size_t j) {
        return left.size() - i == right.size() - j &&
               std::equal(left.begin() + static_cast<std::ptrdiff_t>(i), left.end(),
                          right.begin() + static_cast<std::ptrdiff_t>(j));
    };
    if (at < wanted.size() && same_from(wanted, at + 1, got, at)) {
        return line_text(line_at(expected, wanted[at].at)) + "write " + quoted(wanted[at].text) +
               " " + after(expected, wanted[at].at);
    }
    if (at < got.size() && same_from(wanted, at, got, at + 1)) {
        return line_text(line_at(actual, got[at].at)) + "leave out " + quoted(got[at].text) + " " +
               after(actual, got[at].at);
    }
    if (at >= got.size()) {
        return line_text(line_at(expected, wanted[at].at)) + "the output stops " +
               after(expected, wanted[at].at) + ": write the rest, from " +
               quoted(wanted[at].text) + " on";
    }
    if (at >= wanted.size()) {
        return line_text(line_at(actual, got[at].at)) + "leave out " + quoted(got[at].text) +
               " and what follows: the output ends " + after(actual, got[at].at);
    }
    // Two words run together, or one split in two.
    if (at + 1 < wanted.size() &&
        got[at].text.size() == wanted[at].text.size() + wanted[at + 1].text.size() &&
        got[at].text.substr(0, wanted[at].text.size()) == wanted[at].text &&
        got[at].text.substr(wanted[at].text.size()) == wanted[at + 1].text &&
        same_from(wanted, at + 2, got, at + 1)) {
        const std::size_t end = wanted[at].at + wanted[at].text.size();
        const std::string line = line_text(line_at(expected, wanted[at].at));
        if (expected.substr(end, wanted[at + 1].at - end).find('\n') != std::string_view::npos) {
            return line + "write a line end " + after(expected, end);
        }
        return line + "write a blank between " + quoted(wanted[at].text) + " and " +
               quoted(wanted[at + 1].text);
    }
    if (at + 1 < got.size() &&
        wanted[at].text.size() == got[at].text.size() + got[at + 1].text.size() &&
        wanted[at].text.substr(0, got[at].text.size()) == got[at].text &&
        wanted[at].text.substr(got[at].text.size()) == got[at + 1].text &&
        same_from(wanted, at + 1, got, at + 2)) {
        return line_text(line_at(actual, got[at].at)) + "leave out the blank between " +
               quoted(got[at].text) + " and " + quoted(got[at + 1].text) + ": they are one";
    }
    // Two swapped: the same tokens but these two, each in the other's place. Two numbers may be
    // swapped again further on (each block of output that prints them), and nothing else differ.
    const auto swapped_again = [&](std::size_t first, std::size_t second) {
        for (std::size_t i = second + 1; i < wanted.size(); ++i) {
            const bool same = got[i] == wanted[i];
            const bool back = (wanted[i] == wanted[first] && got[i] == wanted[second]) ||
                              (wanted[i] == wanted[second] && got[i] == wanted[first]);
            if (!same && !back) {
                return false;
            }
        }
        return true;
    };
    for (std::size_t other = at + 1; wanted.size() == got.size() && other < wanted.size();
         ++other) {
        const bool numbers = number(wanted[at].text) && number(wanted[other].text);
        if (wanted[other] == got[at] && got[other] == wanted[at] &&
            (numbers ? swapped_again(at, other) : same_from(wanted, other + 1, got, other + 1)) &&
            std::equal(wanted.begin() + static_cast<std::ptrdiff_t>(at + 1),
                       wanted.begin() + static_cast<std::ptrdiff_t>(other),
                       got.begin() + static_cast<std::ptrdiff_t>(at + 1))) {
            const std::size_t first = line_at(expected, wanted[at].at);
            const std::size_t second = line_at(expected, wanted[other].at);
            return (first == second ? line_text(first)
                                    : "lines " + std::to_string(first) + " and " +
                                          std::to_string(second) + ": ") +
                   said(wanted[at].text) + " and " + said(wanted[other].text) +
                   " are in each other's place: write " + said(wanted[at].text) + " first";
        }
    }
    return token_in_words(wanted[at].text, got[at].text,
                          line_text(line_at(expected, wanted[at].at)));
}

// Each run of digits as one '#': a prompt that counts ("visinu 1.", "visinu 12.") is the same
// prompt. With where each byte of it came from in the text.
struct Masked {
    std::string text;
    std::vector<std::size_t> from;
};

Masked without_digits(std::string_view text, bool keep_from = true)
{
    Masked masked;
    masked.text.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        const bool digit = std::isdigit(static_cast<unsigned char>(text[at])) != 0;
        if (digit && at > 0 && std::isdigit(static_cast<unsigned char>(text[at - 1])) != 0) {
            continue;
        }
        masked.text += digit ? '#' : text[at];
        if (keep_from) {
            masked.from.push_back(at);
        }
    }
    masked.from.push_back(text.size());
    return masked;
}

std::size_t occurrences(std::string_view text, std::string_view piece)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string_view::npos;
         at = text.find(piece, at + piece.size())) {
        ++count;
    }
    return count;
}

} // namespace

std::string endless_repetition(std::string_view expected, std::string_view actual)
{
    constexpr std::size_t at_least = 10; // times the output says it, and
    constexpr std::size_t times = 4;     // times more often than the expected text
    const Masked wanted = without_digits(expected);
    const std::string got = without_digits(actual, false).text; // an output may be megabytes
    const std::string_view text = wanted.text;
    std::size_t start = 0;
    for (std::size_t end = 0; end < text.size(); ++end) {
        // Each prompt of a line ("Molim, unesite broj:"), or what ends the line after them.
        const bool line_ends = text[end] == '\n';
        const bool prompt_ends = std::string_view(":?").find(text[end]) != std::string_view::npos &&
                                 (end + 1 == text.size() || is_blank(text[end + 1]));
        if (!line_ends && !prompt_ends && end + 1 != text.size()) {
            continue;
        }
        std::string_view piece = text.substr(start, end + (line_ends ? 0 : 1) - start);
        start = end + 1;
        while (!piece.empty() && is_blank(piece.front())) {
            piece.remove_prefix(1);
        }
        while (!piece.empty() && is_blank(piece.back())) {
            piece.remove_suffix(1);
        }
        const bool has_letter = std::any_of(piece.begin(), piece.end(), [](char byte) {
            return std::isalpha(static_cast<unsigned char>(byte)) != 0;
        });
        const std::size_t said_times = has_letter ? occurrences(got, piece) : 0;
        if (said_times < at_least || said_times <= times * occurrences(text, piece)) {
            continue;
        }
        const auto first = static_cast<std::size_t>(piece.data() - text.data());
        const std::size_t from = wanted.from[first];
        const std::string_view shown_piece =
            expected.substr(from, wanted.from[first + piece.size()] - from);
        const bool asks = piece.back() == ':' || piece.back() == '?';
        return line_text(line_at(expected, from)) + (asks ? "it asks " : "it writes ") +
               quoted(shown_piece) + " again and again (" + std::to_string(said_times) +
               " times): its loop never ends; let it end when the input does or a read fails";
    }
    return {};
}

std::string standard_error_in_words(std::string_view standard_error)
{
    return "it writes " + quoted(standard_error.substr(0, standard_error.find('\n'))) +
           " to standard error, which should stay empty: leave it out, or write what belongs to "
           "the output to std::cout";
}

std::string in_words(std::string_view expected, std::string_view actual,
                     const Difference& difference)
{
    std::string words = endless_repetition(expected, actual);
    if (words.empty() && same_but_layout(expected, actual)) {
        const auto at =
            std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
        words = layout_in_words(expected, actual,
                                static_cast<std::size_t>(at.first - expected.begin()));
    } else if (words.empty()) {
        words = lines_in_words(expected, actual);
        if (words.empty()) {
            words = words_in_words(expected, actual);
        }
    }
    return words.empty() ? where(difference) : words;
}

} // namespace check
