// Moodle's grading worksheet: the CSV an assignment downloads for offline grading, filled in with
// each person's grade and a short summary, every other byte left as it was.
#include "worksheet.h"

#include "files.h"
#include "points.h"
#include "text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <locale>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>

namespace check {

namespace {

// A worksheet of a course of thousands is a few hundred KiB.
constexpr std::uint64_t largest_worksheet = 16ULL * 1024 * 1024;

namespace fs = std::filesystem;

constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";

// A field as it stands in the text: where its bytes are, and what it says.
struct Field {
    std::size_t begin = 0;
    std::size_t end = 0;
    bool quoted = false;
    std::string value;
};
using Record = std::vector<Field>;

bool is_line_end(std::string_view text, std::size_t at)
{
    return text[at] == '\n' || (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n');
}

std::vector<Record> parse(std::string_view text, std::size_t start)
{
    std::vector<Record> records;
    Record record;
    std::size_t at = start;
    std::size_t line = 1;
    while (at < text.size()) {
        Field field;
        field.begin = at;
        if (text[at] == '"') {
            field.quoted = true;
            ++at;
            for (;;) {
                if (at >= text.size()) {
                    throw std::runtime_error("line " + std::to_string(line) +
                                             ": a quote is never closed");
                }
                if (text[at] == '"') {
                    if (at + 1 < text.size() && text[at + 1] == '"') {
                        field.value += '"';
                        at += 2;
                        continue;
                    }
                    ++at;
                    break;
                }
                line += text[at] == '\n' ? 1 : 0;
                field.value += text[at++];
            }
            if (at < text.size() && text[at] != ',' && !is_line_end(text, at)) {
                throw std::runtime_error("line " + std::to_string(line) +
                                         ": text after a closing quote");
            }
        } else {
            while (at < text.size() && text[at] != ',' && !is_line_end(text, at)) {
                field.value += text[at++];
            }
        }
        field.end = at;
        record.push_back(std::move(field));
        if (at < text.size() && text[at] == ',') {
            ++at;
            if (at == text.size()) { // a last, empty field
                record.push_back(Field{at, at, false, {}});
            }
            continue;
        }
        at += at < text.size() && text[at] == '\r' ? 2 : 1;
        ++line;
        records.push_back(std::move(record));
        record.clear();
    }
    if (!record.empty()) {
        records.push_back(std::move(record));
    }
    return records;
}

std::string trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

bool all_digits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char byte) {
        return std::isdigit(static_cast<unsigned char>(byte)) != 0;
    });
}

// "Participant 1001" gives 1001; a cell that does not end in a number after a blank gives "".
std::string participant_number(std::string_view cell)
{
    const std::string text = trimmed(cell);
    const auto blank = text.find_last_of(' ');
    if (blank == std::string::npos || !all_digits(std::string_view(text).substr(blank + 1))) {
        return {};
    }
    return text.substr(blank + 1);
}

// A grade as Moodle writes it: 100.00, or 100,00 where the decimal mark is a comma.
std::optional<double> read_number(std::string_view cell, bool& comma)
{
    std::string text = trimmed(cell);
    comma = text.find(',') != std::string::npos && text.find('.') == std::string::npos;
    if (comma) {
        std::replace(text.begin(), text.end(), ',', '.');
    }
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) {
        return std::nullopt;
    }
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    double value = 0;
    if (!(in >> value) || in.peek() != std::char_traits<char>::eof() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string two_decimals(double value, bool comma)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::fixed << std::setprecision(2) << value;
    std::string text = out.str();
    if (comma) {
        std::replace(text.begin(), text.end(), '.', ',');
    }
    return text;
}

// The field as the worksheet writes it: quoted when the field it replaces was, or when it must be.
std::string csv_text(const std::string& value, bool quoted)
{
    quoted = quoted || value.find_first_of(",\"\r\n") != std::string::npos ||
             (!value.empty() && (value.front() == ' ' || value.back() == ' '));
    if (!quoted) {
        return value;
    }
    std::string text = "\"";
    for (const char byte : value) {
        text += byte;
        if (byte == '"') {
            text += '"';
        }
    }
    return text + "\"";
}

bool same_name(std::string_view one, std::string_view other)
{
    return one.size() == other.size() &&
           std::equal(one.begin(), one.end(), other.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

// The column of that name, case aside for ASCII letters.
std::optional<std::size_t> column(const Record& header, std::string_view name)
{
    for (std::size_t index = 0; index < header.size(); ++index) {
        if (same_name(trimmed(header[index].value), trimmed(name))) {
            return index;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<Participant> moodle_participant(std::string_view folder_name)
{
    const auto marker = folder_name.find("_assignsubmission_");
    if (marker == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view before = folder_name.substr(0, marker);
    const auto underscore = before.rfind('_');
    if (underscore == std::string_view::npos || underscore == 0 ||
        !all_digits(before.substr(underscore + 1))) {
        return std::nullopt;
    }
    return Participant{std::string(before.substr(0, underscore)),
                       std::string(before.substr(underscore + 1))};
}

std::vector<Graded> graded_people(const Report& report)
{
    std::vector<Graded> graded;
    for (const PersonResult& person : report.people) {
        const bool handed_in = std::any_of(
            person.programs.begin(), person.programs.end(),
            [](const ProgramResult& one) { return one.verdict != ProgramVerdict::absent; });
        if (!handed_in) {
            continue; // their row keeps what it had
        }
        Graded one;
        one.name = person.name;
        if (const auto participant = moodle_participant(person.name)) {
            one.name = participant->name;
            one.id = participant->id;
        }
        if (!person.id.empty()) {
            one.id = person.id;
        }
        const Points points = person_points(person, report.strict);
        one.points = points.points;
        one.max_points = points.max_points;
        one.feedback =
            std::to_string(points.points) + "/" + std::to_string(points.max_points) + " points.";
        const char* separator = " ";
        for (const ProgramResult& program : person.programs) {
            one.feedback += separator + program_summary(program, report.strict);
            separator = "; ";
        }
        graded.push_back(std::move(one));
    }
    return graded;
}

std::vector<std::vector<std::string>> read_csv(std::string_view text)
{
    std::vector<std::vector<std::string>> rows;
    for (const Record& record : parse(text, 0)) {
        std::vector<std::string> row;
        for (const Field& field : record) {
            row.push_back(field.value);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

namespace {

// The worksheet's columns that are read or filled in.
struct Columns {
    std::optional<std::size_t> grade, maximum, identifier, name, feedback;
};

// Each column the worksheet is read by: its key in --worksheet-columns, the name Moodle gives it,
// and where the teacher's name for it is kept.
struct Role {
    std::string_view key;
    std::string_view known;
    std::string WorksheetColumns::*named;
    std::optional<std::size_t> Columns::*found;
};

const Role roles[] = {
    {"grade", "Grade", &WorksheetColumns::grade, &Columns::grade},
    {"max", "Maximum Grade", &WorksheetColumns::maximum, &Columns::maximum},
    {"id", "Identifier", &WorksheetColumns::identifier, &Columns::identifier},
    {"name", "Full name", &WorksheetColumns::name, &Columns::name},
    {"feedback", "Feedback comments", &WorksheetColumns::feedback, &Columns::feedback},
};

// The worksheet's own column names, quoted, for a message.
std::string names_of(const Record& header)
{
    constexpr std::size_t shown_at_most = 20;
    std::string names;
    for (std::size_t index = 0; index < header.size() && index < shown_at_most; ++index) {
        names += (names.empty() ? "\"" : ", \"") +
                 plain_text(trimmed(header[index].value), 80, true) + "\"";
    }
    return header.size() > shown_at_most
               ? names + " and " + std::to_string(header.size() - shown_at_most) + " more"
               : names;
}

Columns columns_of(const Record& header, const WorksheetColumns& named)
{
    Columns columns;
    for (const Role& role : roles) {
        const std::string& given = named.*role.named;
        columns.*role.found = column(header, given.empty() ? role.known : given);
        if (!given.empty() && !(columns.*role.found)) {
            throw std::runtime_error("--worksheet-columns names " + std::string(role.key) + "=" +
                                     plain_text(given, 80, true) +
                                     ", but the worksheet has no such column: its columns are " +
                                     names_of(header));
        }
    }
    if (!columns.grade || !columns.maximum || (!columns.identifier && !columns.name)) {
        throw std::runtime_error(
            "not a grading worksheet as Moodle writes it in English: it needs the columns "
            "Identifier or Full name, Grade and Maximum Grade, and its columns are " +
            names_of(header) +
            ". In another language, name them: --worksheet-columns "
            "grade=NAME,max=NAME,id=NAME,name=NAME,feedback=NAME");
    }
    return columns;
}

std::string cell(const Record& record, std::optional<std::size_t> index)
{
    return index && *index < record.size() ? trimmed(record[*index].value) : std::string();
}

// The rows by participant number and by full name.
class Rows {
  public:
    Rows(const std::vector<Record>& records, const Columns& columns)
    {
        for (std::size_t row = 1; row < records.size(); ++row) {
            const std::string id = participant_number(cell(records[row], columns.identifier));
            if (!id.empty()) {
                by_id_.emplace(id, row);
            }
            const std::string name = cell(records[row], columns.name);
            if (!name.empty()) {
                by_name_.emplace(name, row);
            }
        }
    }

    // The person's row: by the participant number when it is known and in the worksheet, else
    // by the name, when one row alone has either.
    std::optional<std::size_t> of(const Graded& person) const
    {
        std::optional<std::size_t> row = only_row(by_id_, person.id);
        if (!row && (person.id.empty() || by_id_.count(person.id) == 0)) {
            row = only_row(by_name_, trimmed(person.name));
        }
        return row;
    }

  private:
    using Index = std::multimap<std::string, std::size_t>;
    static std::optional<std::size_t> only_row(const Index& rows, const std::string& key)
    {
        if (key.empty() || rows.count(key) != 1) {
            return std::nullopt;
        }
        return rows.find(key)->second;
    }
    Index by_id_;
    Index by_name_;
};

// The fields given new text, each by the begin of its bytes.
struct Edits {
    std::map<std::size_t, std::string> text;
    std::map<std::size_t, std::size_t> end;

    void replace(const Field& field, const std::string& with)
    {
        text[field.begin] = csv_text(with, field.quoted);
        end[field.begin] = field.end;
    }

    std::string applied_to(std::string_view worksheet) const
    {
        std::string result;
        std::size_t copied = 0;
        for (const auto& [begin, replacement] : text) {
            result.append(worksheet.substr(copied, begin - copied));
            result += replacement;
            copied = end.at(begin);
        }
        result.append(worksheet.substr(copied));
        return result;
    }
};

} // namespace

WorksheetColumns parse_worksheet_columns(std::string_view text)
{
    WorksheetColumns named;
    std::vector<std::string_view> given;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        const std::size_t equals = item.find('=');
        const std::string_view key = check::trimmed(item.substr(0, equals));
        const auto role = std::find_if(std::begin(roles), std::end(roles),
                                       [&](const Role& known) { return known.key == key; });
        if (equals == std::string_view::npos || role == std::end(roles) ||
            check::trimmed(item.substr(equals + 1)).empty()) {
            throw std::runtime_error("--worksheet-columns " + plain_text(item, 80, true) +
                                     ": give KEY=NAME, KEY one of grade, max, id, name and "
                                     "feedback, such as grade=Ocjena");
        }
        if (std::find(given.begin(), given.end(), key) != given.end()) {
            throw std::runtime_error("--worksheet-columns names " + std::string(key) + " twice");
        }
        given.push_back(role->key);
        named.*role->named = std::string(check::trimmed(item.substr(equals + 1)));
    }
    return named;
}

WorksheetOutcome fill_worksheet(std::string_view worksheet, const std::vector<Graded>& graded,
                                const WorksheetColumns& named)
{
    const std::size_t start =
        worksheet.substr(0, byte_order_mark.size()) == byte_order_mark ? byte_order_mark.size() : 0;
    const std::vector<Record> records = parse(worksheet, start);
    if (records.empty()) {
        throw std::runtime_error("the worksheet is empty");
    }
    const Columns columns = columns_of(records.front(), named);
    const Rows rows(records, columns);

    WorksheetOutcome outcome;
    Edits edits;
    std::map<std::size_t, std::string> graded_row; // row: whose grade it holds
    for (const Graded& person : graded) {
        const std::optional<std::size_t> row = rows.of(person);
        // A name as it may be shown on a terminal: no control byte is sent as it is.
        const std::string who = plain_text(
            person.id.empty() ? person.name : person.name + " (participant " + person.id + ")", 200,
            true);
        if (!row) {
            outcome.unmatched.push_back(who);
            continue;
        }
        if (graded_row.count(*row) != 0) {
            outcome.unmatched.push_back(who + ": the row is " + graded_row[*row] + "'s");
            continue;
        }
        const Record& record = records[*row];
        bool comma = false;
        const auto maximum = *columns.maximum < record.size()
                                 ? read_number(record[*columns.maximum].value, comma)
                                 : std::nullopt;
        if (!maximum || *columns.grade >= record.size()) {
            outcome.problems.push_back("row " + std::to_string(*row + 1) + " (" + who +
                                       "): Maximum Grade is not a number, so no grade is given");
            continue;
        }
        graded_row[*row] = who;
        const double grade =
            person.max_points > 0 ? *maximum * person.points / person.max_points : 0;
        edits.replace(record[*columns.grade], two_decimals(grade, comma));
        if (columns.feedback && *columns.feedback < record.size()) {
            edits.replace(record[*columns.feedback], person.feedback);
        }
        ++outcome.graded;
    }
    outcome.text = edits.applied_to(worksheet);
    return outcome;
}

WorksheetOutcome write_worksheet_file(const std::string& in_path, const std::string& out_path,
                                      const std::vector<Graded>& graded,
                                      const WorksheetColumns& named)
{
    std::error_code error;
    if (fs::absolute(in_path).lexically_normal() == fs::absolute(out_path).lexically_normal() ||
        fs::equivalent(in_path, out_path, error)) {
        throw std::runtime_error("the filled worksheet " + out_path +
                                 " would overwrite the downloaded one: name another file");
    }
    const FileRead read = read_file(in_path, largest_worksheet);
    if (!read.bytes) {
        throw std::runtime_error("the worksheet: " + read.problem);
    }
    const std::string& text = *read.bytes;
    WorksheetOutcome outcome;
    try {
        outcome = fill_worksheet(text, graded, named);
    } catch (const std::runtime_error& problem) {
        throw std::runtime_error(in_path + ": " + problem.what());
    }
    const std::string partial = out_path + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out << outcome.text;
        out.close();
        if (out && std::rename(partial.c_str(), out_path.c_str()) == 0) {
            return outcome;
        }
    }
    fs::remove(partial, error);
    throw std::runtime_error("cannot write " + out_path);
}

} // namespace check
