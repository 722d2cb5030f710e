#include "translation.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace check {

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t mo_magic = 0x950412deU;
constexpr int deepest = 8; // parts within parts: no text nests deeper

std::uint32_t word_at(std::string_view bytes, std::size_t at, bool swapped)
{
    if (at + 4 > bytes.size()) {
        throw std::runtime_error("a catalogue that ends too early");
    }
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[at + (swapped ? i : 3 - i)]);
        value = (value << 8U) | byte;
    }
    return value;
}

std::string_view string_at(std::string_view bytes, std::size_t table, std::uint32_t index,
                           bool swapped)
{
    const std::size_t entry = table + std::size_t{8} * index;
    const std::uint32_t length = word_at(bytes, entry, swapped);
    const std::uint32_t offset = word_at(bytes, entry + 4, swapped);
    if (std::size_t{offset} + length > bytes.size()) {
        throw std::runtime_error("a catalogue whose text lies beyond its end");
    }
    return bytes.substr(offset, length);
}

std::vector<std::string> pieces_of(std::string_view pattern)
{
    std::vector<std::string> pieces(1);
    for (std::size_t at = 0; at < pattern.size(); ++at) {
        if (pattern.substr(at, 2) == "%s") {
            pieces.emplace_back();
            ++at;
        } else {
            pieces.back() += pattern[at];
        }
    }
    return pieces;
}

std::size_t literal_size(const std::vector<std::string>& pieces)
{
    std::size_t size = 0;
    for (const std::string& piece : pieces) {
        size += piece.size();
    }
    return size;
}

// The parts of text between the pieces, each at least one byte, trying every place a piece may
// stand; false when the text does not take that shape.
bool split(std::string_view text, const std::vector<std::string>& pieces, std::size_t piece,
           std::vector<std::string_view>& parts)
{
    if (piece + 1 == pieces.size()) {
        const std::string& last = pieces.back();
        if (text.size() <= last.size() || text.substr(text.size() - last.size()) != last) {
            return false;
        }
        parts.push_back(text.substr(0, text.size() - last.size()));
        return true;
    }
    const std::string& next = pieces[piece];
    for (std::size_t at = text.find(next, 1); at != std::string_view::npos;
         at = text.find(next, at + 1)) {
        parts.push_back(text.substr(0, at));
        if (split(text.substr(at + next.size()), pieces, piece + 1, parts)) {
            return true;
        }
        parts.pop_back();
    }
    return false;
}

// The translation with its %s, or %1$s, %2$s ..., filled with the parts in turn.
std::string filled(std::string_view translation, const std::vector<std::string>& parts)
{
    std::string out;
    std::size_t next = 0;
    for (std::size_t at = 0; at < translation.size(); ++at) {
        if (translation[at] == '%' && at + 1 < translation.size() && translation[at + 1] == 's') {
            out += next < parts.size() ? parts[next] : std::string();
            ++next;
            ++at;
        } else if (translation[at] == '%' && at + 3 < translation.size() &&
                   translation[at + 1] >= '1' && translation[at + 1] <= '9' &&
                   translation.substr(at + 2, 2) == "$s") {
            const auto index = static_cast<std::size_t>(translation[at + 1] - '1');
            out += index < parts.size() ? parts[index] : std::string();
            at += 3;
        } else {
            out += translation[at];
        }
    }
    return out;
}

} // namespace

Translation Translation::from_mo(std::string_view bytes)
{
    if (bytes.size() < 28) {
        throw std::runtime_error("not a gettext catalogue");
    }
    bool swapped = false;
    if (word_at(bytes, 0, false) != mo_magic) {
        swapped = true;
        if (word_at(bytes, 0, true) != mo_magic) {
            throw std::runtime_error("not a gettext catalogue");
        }
    }
    const std::uint32_t count = word_at(bytes, 8, swapped);
    const std::uint32_t originals = word_at(bytes, 12, swapped);
    const std::uint32_t translations = word_at(bytes, 16, swapped);
    Translation translation;
    for (std::uint32_t index = 0; index < count; ++index) {
        const std::string_view english = string_at(bytes, originals, index, swapped);
        const std::string_view words = string_at(bytes, translations, index, swapped);
        if (english.empty() || words.empty() || english.find('\0') != std::string_view::npos) {
            continue; // the header, and plural forms, which no text here has
        }
        if (english.find("%s") != std::string_view::npos) {
            translation.templates_.push_back({pieces_of(english), std::string(words)});
        } else {
            translation.whole_.emplace(english, words);
        }
    }
    std::stable_sort(translation.templates_.begin(), translation.templates_.end(),
                     [](const Template& one, const Template& other) {
                         return literal_size(one.pieces) > literal_size(other.pieces);
                     });
    return translation;
}

bool Translation::translate(std::string_view english, std::string& out, int depth) const
{
    if (const auto found = whole_.find(english); found != whole_.end()) {
        out = found->second;
        return true;
    }
    if (depth >= deepest) {
        return false;
    }
    for (const Template& one : templates_) {
        if (english.size() < literal_size(one.pieces) ||
            english.substr(0, one.pieces.front().size()) != one.pieces.front()) {
            continue;
        }
        std::vector<std::string_view> parts;
        if (!split(english.substr(one.pieces.front().size()), one.pieces, 1, parts)) {
            continue;
        }
        std::vector<std::string> said;
        for (const std::string_view part : parts) {
            std::string words;
            said.push_back(translate(part, words, depth + 1) ? words : std::string(part));
        }
        out = filled(one.translation, said);
        return true;
    }
    return false;
}

std::string Translation::operator()(std::string_view english) const
{
    std::string out;
    return translate(english, out, 0) ? out : std::string(english);
}

bool Translation::knows(std::string_view english) const
{
    std::string out;
    return translate(english, out, 0);
}

std::string learner_language(std::string_view given, const char* lc_all, const char* lc_messages,
                             const char* lang)
{
    if (!given.empty()) {
        if (given != "hr" && given != "en") {
            throw std::invalid_argument("--language is hr or en, not " + std::string(given));
        }
        return std::string(given);
    }
    for (const char* value : {lc_all, lc_messages, lang}) {
        if (value != nullptr && *value != '\0') {
            const std::string_view name = value;
            return name.substr(0, 2) == "hr" &&
                           (name.size() == 2 || name[2] == '_' || name[2] == '.' || name[2] == '@')
                       ? "hr"
                       : "en";
        }
    }
    return "en";
}

Translation load_translation(const std::string& language)
{
    if (language == "en") {
        return {};
    }
    const fs::path relative = fs::path(language) / "LC_MESSAGES" / "exercise-check.mo";
    std::vector<fs::path> places;
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        places.push_back(self.parent_path().parent_path() / "share" / "locale" / relative);
    }
    places.push_back(fs::path(EXERCISE_CHECK_BUILT_LOCALE) / relative);
    for (const fs::path& place : places) {
        std::ifstream file(place, std::ios::binary);
        if (file) {
            const std::string bytes{std::istreambuf_iterator<char>(file),
                                    std::istreambuf_iterator<char>()};
            return Translation::from_mo(bytes);
        }
    }
    throw std::runtime_error("no catalogue of the language " + language + " (" +
                             places.back().string() + ")");
}

std::string message_said(std::string_view message, const Translation& words)
{
    if (words.empty()) {
        return std::string(message);
    }
    std::string said;
    bool within_text = false; // between a title and its <end>: the bytes of a text
    while (!message.empty()) {
        const std::size_t end = message.find('\n');
        const std::string_view line = message.substr(0, end);
        message.remove_prefix(end == std::string_view::npos ? message.size() : end + 1);
        if (line == "<end>") {
            within_text = false;
        }
        said += within_text || line == "<end>" ? std::string(line) : words(line);
        said += '\n';
        if (!within_text && line.size() > 1 && line.back() == ':' && line != "<end>") {
            within_text = true; // "input:", "expected output:": what follows is the text
        }
    }
    return said;
}

} // namespace check
