#include "compile_hints.h"

#include "files.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <set>
#include <stdexcept>
#include <utility>

namespace check {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t largest_hints_file = std::uint64_t{256} * 1024;
constexpr std::ptrdiff_t hint_lines = 2;

std::string text_of(const nlohmann::json& entry, const char* key, const std::string& place)
{
    const auto found = entry.find(key);
    if (found == entry.end() || !found->is_string() || found->get<std::string>().empty()) {
        throw std::runtime_error(place + " needs \"" + key + "\", a text that is not empty");
    }
    return found->get<std::string>();
}

// A list of texts that are not empty, or none when the key is not there.
std::vector<std::string> texts_of(const nlohmann::json& entry, const char* key,
                                  const std::string& place)
{
    const auto found = entry.find(key);
    if (found == entry.end()) {
        return {};
    }
    std::vector<std::string> texts;
    if (found->is_array()) {
        for (const nlohmann::json& text : *found) {
            if (!text.is_string() || text.get<std::string>().empty()) {
                break;
            }
            texts.push_back(text.get<std::string>());
        }
    }
    if (!found->is_array() || texts.size() != found->size()) {
        throw std::runtime_error(place + ": \"" + key + "\" is a list of texts that are not empty");
    }
    return texts;
}

CompileHintRule rule_of(const nlohmann::json& entry, const std::string& file)
{
    if (!entry.is_object()) {
        throw std::runtime_error(file + ": each hint is an object");
    }
    CompileHintRule rule;
    rule.hint.id = text_of(entry, "id", file + ": a hint");
    const std::string place = file + ", " + rule.hint.id;
    const bool plain = std::all_of(rule.hint.id.begin(), rule.hint.id.end(), [](char letter) {
        return (letter >= 'a' && letter <= 'z') || (letter >= '0' && letter <= '9') ||
               letter == '-';
    });
    if (!plain) {
        throw std::runtime_error(place + ": an id holds only a-z, 0-9 and -");
    }
    rule.hint.hint = text_of(entry, "hint", place);
    const std::string& hint = rule.hint.hint;
    if (1 + std::count(hint.begin(), hint.end(), '\n') > hint_lines || hint.back() == '\n') {
        throw std::runtime_error(place + ": a hint is one or two lines, with no line end after");
    }
    rule.compiler = texts_of(entry, "compiler", place);
    rule.standard_error = texts_of(entry, "standard_error", place);
    if (rule.compiler.empty() && rule.standard_error.empty()) {
        throw std::runtime_error(place +
                                 " needs \"compiler\" or \"standard_error\", what shows it");
    }
    return rule;
}

// The text with GCC's typographic quotes (U+2018, U+2019, as it writes them in a UTF-8 locale)
// as plain ones, so that one pattern fits both compilers in every locale.
std::string plain_quotes(std::string_view text)
{
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text.compare(at, 3, "\xE2\x80\x98") == 0 || text.compare(at, 3, "\xE2\x80\x99") == 0) {
            plain += '\'';
            at += 2;
        } else {
            plain += text[at];
        }
    }
    return plain;
}

// Whether a line of the compiler's is one of its diagnostics ("x.cpp:6:5: error: ..."), not a
// line of the source it quotes, which could hold any text.
bool is_diagnostic(std::string_view line)
{
    for (const std::string_view kind :
         {": error: ", ": fatal error: ", ": warning: ", ": note: "}) {
        if (line.find(kind) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

// Where in the text, counted from offset, a pattern of the rule first stands; in the compiler's
// output only within its diagnostics. The end of all texts when none does.
std::size_t first_shown(const std::vector<std::string>& patterns, const std::string& text,
                        bool diagnostics_only, std::size_t offset)
{
    std::size_t first = std::string::npos;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        const std::string_view line = std::string_view(text).substr(start, end - start);
        if (!diagnostics_only || is_diagnostic(line)) {
            for (const std::string& pattern : patterns) {
                const std::size_t at = line.find(pattern);
                if (at != std::string_view::npos) {
                    first = std::min(first, offset + start + at);
                }
            }
        }
        if (first != std::string::npos) {
            return first;
        }
        start = end + 1;
    }
    return first;
}

} // namespace

std::vector<CompileHintRule> load_compile_hints(const fs::path& file)
{
    const std::string name = file.string();
    const nlohmann::json data =
        nlohmann::json::parse(read_file_or_throw(file, largest_hints_file), nullptr, false);
    if (data.is_discarded() || !data.is_object() || !data.contains("hints") ||
        !data["hints"].is_array()) {
        throw std::runtime_error(name + " is not {\"hints\": [...]} in JSON");
    }
    std::vector<CompileHintRule> rules;
    std::set<std::string> ids;
    for (const nlohmann::json& entry : data["hints"]) {
        rules.push_back(rule_of(entry, name));
        if (!ids.insert(rules.back().hint.id).second) {
            throw std::runtime_error(name + " lists " + rules.back().hint.id + " twice");
        }
    }
    return rules;
}

std::vector<CompileHint> compile_hints_for(const std::vector<CompileHintRule>& rules,
                                           std::string_view compiler_output,
                                           std::string_view standard_error)
{
    const std::string compiler = plain_quotes(compiler_output);
    const std::string errors(standard_error);
    std::vector<std::pair<std::size_t, const CompileHintRule*>> shown;
    for (const CompileHintRule& rule : rules) {
        std::size_t at = first_shown(rule.compiler, compiler, true, 0);
        if (at == std::string::npos) {
            at = first_shown(rule.standard_error, errors, false, compiler.size());
        }
        if (at != std::string::npos) {
            shown.emplace_back(at, &rule);
        }
    }
    std::stable_sort(shown.begin(), shown.end(),
                     [](const auto& left, const auto& right) { return left.first < right.first; });
    std::vector<CompileHint> hints;
    hints.reserve(shown.size());
    for (const auto& one : shown) {
        hints.push_back(one.second->hint);
    }
    return hints;
}

void add_compile_hints(Report& report, const std::vector<CompileHintRule>& rules)
{
    if (rules.empty()) {
        return;
    }
    for (PersonResult& person : report.people) {
        for (ProgramResult& program : person.programs) {
            std::string standard_error;
            for (const CaseResult& result : program.cases) {
                if (result.standard_error) {
                    standard_error += result.standard_error->bytes + '\n';
                }
            }
            program.compile_hints =
                compile_hints_for(rules, program.compiler_output, standard_error);
        }
    }
}

} // namespace check
