// The gradebook as a web page that needs nothing else: a coloured grid whose every cell opens
// how that program did. Its style and script are report_page.css and report_page.js.
#include "class_summary.h"
#include "html.h"
#include "report.h"
#include "report_class.h"
#include "report_page_assets.h"

#include <algorithm>
#include <iomanip>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace check {

namespace {

using html::Attributes;
using html::element;
using html::Markup;

const Markup line_end = Markup::trusted("\n");

std::string css_class(ProgramVerdict verdict)
{
    return "v-" + std::string(program_verdict_name(verdict));
}

Markup symbol(ProgramVerdict verdict)
{
    switch (verdict) {
    case ProgramVerdict::correct: return Markup::trusted("&#10003;");
    case ProgramVerdict::wrong: return Markup::trusted("&#10007;");
    case ProgramVerdict::does_not_compile: return Markup::trusted("!");
    case ProgramVerdict::absent: return Markup::trusted("&#8211;");
    }
    return Markup::trusted("?");
}

std::string nonce()
{
    std::random_device random;
    std::ostringstream text;
    for (int i = 0; i < 4; ++i) {
        text << std::hex << std::setw(8) << std::setfill('0') << random();
    }
    return text.str();
}

std::string id(std::size_t row, std::size_t column)
{
    return "p" + std::to_string(row) + "-" + std::to_string(column);
}

// Where the difference lies in text, counted in bytes from its start.
std::size_t offset_of(const Difference& difference, std::string_view text)
{
    std::size_t at = 0;
    for (std::size_t line = 1; line < difference.line && at < text.size(); ++line) {
        const std::size_t end = text.find('\n', at);
        at = end == std::string_view::npos ? text.size() : end + 1;
    }
    return at + difference.column - 1;
}

constexpr std::size_t no_mark = std::string::npos;

// A text a case shows, each byte as the terminal's report shows it and escapes set apart; the
// byte at mark is marked, or the end when the difference is that the text ended there.
Markup shown_text(const ShownText& shown, std::size_t mark)
{
    Markup page;
    for (std::size_t at = 0; at < shown.bytes.size(); ++at) {
        const std::string byte = visible_byte(shown.bytes[at]);
        Markup unit =
            byte.size() > 1 ? element("span", {{"class", "esc"}}, byte) : html::text(byte);
        page += at == mark ? element("mark", unit) : unit;
        if (shown.bytes[at] == '\n') {
            page += line_end;
        }
    }
    if (shown.left_out > 0) {
        page += html::text("... and " + std::to_string(shown.left_out) + " bytes more");
    } else if (mark == shown.bytes.size()) {
        page += element("mark", {{"class", "end"}}, "(ends here)");
    }
    if (shown.bytes.empty() && mark != 0) {
        page += element("span", {{"class", "esc"}}, "(nothing)");
    }
    return page;
}

// The learner's language while a page is written (write_html sets it): the page's own words
// in it, the outputs and sources as they are.
thread_local const Translation* page_words = nullptr;

std::string tr(std::string_view text)
{
    return page_words == nullptr ? std::string(text) : (*page_words)(text);
}

// A text's title ("input", "expected output") in the learner's language, as the catalogue has it
// with its colon.
std::string title_words(const std::string& title)
{
    std::string words = tr(title + ":");
    words.pop_back();
    return words;
}

Markup block(const ShownText& shown, std::size_t mark = no_mark)
{
    return element("div", {{"class", "block"}},
                   element("h4", title_words(shown.title)) +
                       element("pre", shown_text(shown, mark))) +
           line_end;
}

// A failed case: why, what it was given, and its output beside the expected, the first
// difference marked.
Markup failed_case(const CaseResult& result)
{
    Markup body = element("h3", result.name + ": " + tr(case_verdict_name(result.verdict)) +
                                    (result.departure ? " " + tr("(departure)") : "")) +
                  line_end;
    const auto paragraph = [&body](const std::string& text, const Attributes& attributes = {}) {
        body += element("p", attributes, text) + line_end;
    };
    if (!result.remark.empty()) {
        paragraph(tr(result.remark));
    }
    paragraph(tr(headline(result)));
    if (!result.args.empty()) {
        std::string args = "arguments:";
        for (const std::string& arg : result.args) {
            args += " " + arg;
        }
        paragraph(args);
    }
    if (result.input) {
        body += block(*result.input);
    }
    std::size_t mark = no_mark;
    if (result.difference) {
        paragraph(tr(describe(*result.difference)), {{"class", "diff"}});
        mark = offset_of(*result.difference, result.expected ? result.expected->bytes : "");
    }
    if (!result.in_words.empty()) {
        paragraph(tr("in words: " + result.in_words), {{"class", "diff"}});
    }
    if (result.expected && result.actual) {
        const auto side = [mark](const ShownText& shown) {
            return element("div", element("h4", title_words(shown.title)) +
                                      element("pre", shown_text(shown, mark)));
        };
        body += element("div", {{"class", "pair"}}, side(*result.expected) + side(*result.actual)) +
                line_end;
    } else if (result.expected || result.actual) {
        body += block(result.expected ? *result.expected : *result.actual);
    }
    if (result.standard_error) {
        body += block(*result.standard_error);
    }
    return element("article", {{"class", "case"}}, body) + line_end;
}

class Page {
  public:
    Page(std::ostream& out, const Report& report) : out_(out), report_(report) {}

    void write()
    {
        const std::string key = nonce();
        const std::vector<const PersonResult*> people = in_name_order(report_);
        const std::size_t count = report_.exercises.size();
        out_ << "<!DOCTYPE html>\n<html lang=\"" << report_.language
             << "\">\n<head>\n<meta charset=\"utf-8\">\n"
             << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
             // Nothing is loaded from elsewhere, and no script runs but the page's own.
             << "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
             << "style-src 'nonce-" << key << "'; script-src 'nonce-" << key << "'\">\n"
             << "<title>exercise-check gradebook</title>\n<style nonce=\"" << key << "\">"
             << page_style << "</style>\n</head>\n<body>\n<header>\n<h1>Gradebook</h1>\n<p>"
             << people.size() << (people.size() == 1 ? " person" : " people") << ", " << count
             << (count == 1 ? " program" : " programs")
             << " each. Choose a cell to see how that program did.</p>\n";
        if (report_.sandbox == "none") {
            out_ << "<p class=\"warning\">The programs ran without the sandbox.</p>\n";
        }
        out_ << "</header>\n<main>\n";
        grid(people);
        key_list();
        same();
        at_a_glance();
        unread();
        out_ << "</main>\n";
        for (std::size_t row = 0; row < people.size(); ++row) {
            for (std::size_t column = 0; column < count; ++column) {
                out_ << detail(*people[row], report_.exercises[column], id(row, column)).str();
            }
        }
        out_ << element("footer",
                        element("p", report_.sandbox == "none"
                                         ? "The programs ran without a sandbox."
                                         : "The programs ran in the sandbox " + report_.sandbox +
                                               (report_.memory_limit.empty()
                                                    ? std::string(".")
                                                    : "; their memory was held by " +
                                                          report_.memory_limit + ".")))
                    .str()
             << "\n<script nonce=\"" << key << "\">" << page_script
             << "</script>\n</body>\n</html>\n";
    }

  private:
    void grid(const std::vector<const PersonResult*>& people)
    {
        Markup head = element("th", {{"scope", "col"}}, "person");
        for (const Exercise& exercise : report_.exercises) {
            head += element("th", {{"scope", "col"}, {"title", exercise.name}},
                            element("span", {{"class", "long"}}, exercise.name) +
                                element("span", {{"class", "short"}}, short_name(exercise)));
        }
        head += element("th", {{"scope", "col"}}, "points");
        Markup rows;
        for (std::size_t row = 0; row < people.size(); ++row) {
            const PersonResult& person = *people[row];
            Markup name = html::text(person.name);
            if (!person.note.empty()) {
                name += element("span", {{"class", "note"}}, person.note);
            }
            // Advice every program of the person's has is said here, once.
            for (const std::string& advice : shared_advice(person)) {
                name +=
                    element("span", {{"class", "note"}}, said_of_all(advice, handed_in(person)));
            }
            Markup cells = element("th", {{"scope", "row"}}, name);
            for (std::size_t column = 0; column < report_.exercises.size(); ++column) {
                const Exercise& exercise = report_.exercises[column];
                const ProgramResult* result = find_result(person, exercise);
                const ProgramVerdict verdict = verdict_of(result);
                const bool same = result != nullptr && !result->same_source_as.empty();
                const std::string title = exercise.name + ": " +
                                          std::string(program_verdict_name(verdict)) +
                                          (same ? ", same source as another" : "");
                cells +=
                    element("td", {{"class", css_class(verdict)}},
                            element("a", {{"href", "#" + id(row, column)}, {"title", title}},
                                    symbol(verdict) + (same ? element("sup", "=") : Markup())));
            }
            cells += element("td", {{"class", "count"}}, points_shown(person, report_.strict));
            rows += element("tr", cells) + line_end;
        }
        out_ << element("div", {{"class", "wrap"}},
                        element("table", {{"class", "grid"}},
                                line_end + element("thead", element("tr", head)) + line_end +
                                    element("tbody", line_end + rows) + totals()))
                    .str()
             << '\n';
    }

    // How many passed each program, under its column; the mean points under theirs.
    Markup totals() const
    {
        if (report_.people.size() < 2) {
            return {};
        }
        const ClassSummary summary = summarise(report_);
        Markup cells = element("th", {{"scope", "row"}}, "passed");
        for (std::size_t column = 0; column < summary.passed.size(); ++column) {
            cells += element("td",
                             {{"title", report_.exercises[column].name + ": " +
                                            std::to_string(summary.passed[column]) + " of " +
                                            std::to_string(summary.people) + " passed"}},
                             std::to_string(summary.passed[column]));
        }
        cells += element("td", {{"class", "count"}, {"title", "mean points"}},
                         points_number(summary.mean));
        return element("tfoot", element("tr", cells)) + line_end;
    }

    void key_list()
    {
        Markup items;
        for (const ProgramVerdict verdict : all_verdicts) {
            items += element(
                "li", element("span", {{"class", "sym " + css_class(verdict)}}, symbol(verdict)) +
                          html::text(tr(program_verdict_name(verdict))));
        }
        items += element("li", element("sup", "=") + html::text(" same source as someone else's"));
        out_ << element("ul", {{"class", "key"}}, items).str() << '\n';
    }

    void same()
    {
        const std::vector<SameSources> groups = same_sources(report_);
        if (groups.empty()) {
            return;
        }
        Markup items;
        for (const SameSources& group : groups) {
            std::string names;
            for (const std::string& name : group.people) {
                names += (names.empty() ? "" : " = ") + name;
            }
            items +=
                element("li", names + ": " + programs_named(report_, group.programs)) + line_end;
        }
        out_ << element("section", {{"class", "same"}},
                        element("h2", "Same sources") + element("ul", line_end + items))
                    .str()
             << '\n';
    }

    // What of the class's download is no one's hand-in, and why.
    void unread()
    {
        if (report_.not_read.empty()) {
            return;
        }
        Markup items;
        for (const LeftUnread& entry : report_.not_read) {
            items += element("li", element("code", entry.path) + html::text(": " + entry.why)) +
                     line_end;
        }
        out_ << element("section", {{"class", "unread"}},
                        element("h2", "Not read") +
                            element("p", std::to_string(report_.not_read.size()) +
                                             (report_.not_read.size() == 1
                                                  ? " entry of the class is no one's hand-in."
                                                  : " entries of the class are no one's "
                                                    "hand-in.")) +
                            element("ul", line_end + items))
                    .str()
             << '\n';
    }

    // How many people earned each number of points, as bars over 0 to the most.
    static Markup distribution_chart(const ClassSummary& summary)
    {
        constexpr std::size_t bar = 34;
        constexpr std::size_t tallest = 120;
        const std::size_t most = std::max<std::size_t>(
            1, *std::max_element(summary.people_with.begin(), summary.people_with.end()));
        const std::size_t width = bar * summary.people_with.size() + 10;
        const std::size_t height = tallest + 44;
        Markup bars;
        for (std::size_t points = 0; points < summary.people_with.size(); ++points) {
            const std::size_t people = summary.people_with[points];
            const std::size_t tall = people * tallest / most;
            const std::string x = std::to_string(5 + points * bar);
            const std::string middle = std::to_string(5 + points * bar + bar / 2);
            bars += element("rect",
                            {{"x", std::to_string(5 + points * bar + 3)},
                             {"y", std::to_string(18 + tallest - tall)},
                             {"width", std::to_string(bar - 6)},
                             {"height", std::to_string(tall)},
                             {"fill", "#3b6ea8"}},
                            element("title", std::to_string(people) + " with " +
                                                 std::to_string(points) + " points")) +
                    element("text",
                            {{"x", middle},
                             {"y", std::to_string(14 + tallest - tall)},
                             {"text-anchor", "middle"},
                             {"font-size", "12"}},
                            std::to_string(people)) +
                    element("text",
                            {{"x", middle},
                             {"y", std::to_string(tallest + 36)},
                             {"text-anchor", "middle"},
                             {"font-size", "12"}},
                            std::to_string(points)) +
                    line_end;
        }
        return element("svg",
                       {{"class", "chart"},
                        {"viewBox", "0 0 " + std::to_string(width) + " " + std::to_string(height)},
                        {"width", std::to_string(width)},
                        {"height", std::to_string(height)},
                        {"role", "img"},
                        {"aria-label", "people by points"}},
                       line_end + bars);
    }

    // How many people had each typical fault, as bars from the most found.
    static Markup faults_chart(const ClassSummary& summary)
    {
        constexpr std::size_t label = 230;
        constexpr std::size_t longest = 300;
        constexpr std::size_t row = 24;
        const std::size_t width = label + longest + 90;
        const std::size_t height = row * summary.faults.size() + 6;
        Markup bars;
        for (std::size_t at = 0; at < summary.faults.size(); ++at) {
            const auto& [fault, people] = summary.faults[at];
            const std::size_t length = std::max<std::size_t>(
                2, people * longest / std::max<std::size_t>(1, summary.people));
            const std::string y = std::to_string(at * row + 3);
            const std::string baseline = std::to_string(at * row + 19);
            const std::string of = std::to_string(people) + " of " + std::to_string(summary.people);
            bars += element("text",
                            {{"x", std::to_string(label - 8)},
                             {"y", baseline},
                             {"text-anchor", "end"},
                             {"font-size", "13"}},
                            fault) +
                    element("rect",
                            {{"x", std::to_string(label)},
                             {"y", y},
                             {"width", std::to_string(length)},
                             {"height", std::to_string(row - 6)},
                             {"fill", "#c0262d"}},
                            element("title", fault + ": " + of)) +
                    element("text",
                            {{"x", std::to_string(label + length + 6)},
                             {"y", baseline},
                             {"font-size", "12"}},
                            of) +
                    line_end;
        }
        return element("svg",
                       {{"class", "chart"},
                        {"viewBox", "0 0 " + std::to_string(width) + " " + std::to_string(height)},
                        {"width", std::to_string(width)},
                        {"height", std::to_string(height)},
                        {"role", "img"},
                        {"aria-label", "people by typical fault"}},
                       line_end + bars);
    }

    // Over the class: its points, how many people had each diagnosed fault and failed each case,
    // most first, so that a teacher sees what to explain again.
    void at_a_glance()
    {
        const ClassCounts counts = class_counts(report_);
        const bool numbers = report_.people.size() >= 2;
        if (!numbers && counts.faults.empty() && counts.failed_cases.empty()) {
            return;
        }
        const auto list = [&counts](std::vector<std::pair<std::string, std::size_t>> rows) {
            std::stable_sort(rows.begin(), rows.end(), [](const auto& one, const auto& other) {
                return one.second > other.second;
            });
            Markup items;
            for (const auto& [name, people] : rows) {
                items += element("li", element("code", name) +
                                           html::text(": " + std::to_string(people) + " of " +
                                                      std::to_string(counts.people))) +
                         line_end;
            }
            return element("ul", line_end + items);
        };
        Markup section = element("h2", "The class at a glance") + line_end;
        const ClassSummary summary = summarise(report_);
        if (numbers) {
            section += element("p", {{"class", "points"}},
                               "Points: mean " + points_number(summary.mean) + ", median " +
                                   points_number(summary.median) + " of " +
                                   std::to_string(summary.max_points) + ".") +
                       line_end + element("h3", "People by points") + line_end +
                       distribution_chart(summary) + line_end;
        }
        if (!counts.faults.empty()) {
            section += element("h3", "Typical faults found") + faults_chart(summary) + line_end;
        }
        if (!counts.failed_cases.empty()) {
            section +=
                element("details",
                        element("summary", "Cases failed (" +
                                               std::to_string(counts.failed_cases.size()) + ")") +
                            list(counts.failed_cases)) +
                line_end;
        }
        out_ << element("section", {{"class", "glance"}}, section).str() << '\n';
    }

    Markup detail(const PersonResult& person, const Exercise& exercise, const std::string& id)
    {
        const ProgramResult* result = find_result(person, exercise);
        const ProgramVerdict verdict = verdict_of(result);
        Markup box = element("a", {{"class", "close"}, {"href", "#"}}, "close") +
                     element("h2", person.name + ": " + exercise.name) + line_end +
                     element("p", element("span", {{"class", "verdict " + css_class(verdict)}},
                                          tr(program_verdict_name(verdict)))) +
                     line_end;
        if (!person.note.empty()) {
            box += element("p", person.note) + line_end;
        }
        if (result == nullptr || verdict == ProgramVerdict::absent) {
            box += element("p", tr("Not handed in."));
        } else {
            box += program(*result, shared_advice(person));
        }
        return element("section", {{"class", "detail"}, {"id", id}},
                       element("div", {{"class", "box"}}, box)) +
               line_end;
    }

    static Markup program(const ProgramResult& result, const std::vector<std::string>& shared)
    {
        Markup box =
            element("p", html::text("Source: ") + element("code", result.source)) + line_end;
        if (!result.same_source_as.empty()) {
            std::string names;
            for (const std::string& name : result.same_source_as) {
                names += (names.empty() ? "" : ", ") + name;
            }
            box += element("p", "The same source as " + names + ".") + line_end;
        }
        Markup advice;
        for (const std::string& one : result.advice) {
            if (std::find(shared.begin(), shared.end(), one) == shared.end()) {
                advice += element("li", tr(one));
            }
        }
        if (!shared.empty()) {
            advice += element("li", "and what all the person's programs do: see the person's row");
        }
        if (!result.advice.empty()) {
            box += element("h3", tr("Advice")) + element("ul", advice) + line_end;
        }
        box += diagnosis(result);
        const bool compiled = result.verdict != ProgramVerdict::does_not_compile;
        Markup hints;
        for (const CompileHint& hint : result.compile_hints) {
            hints += element("li", tr(hint.hint));
        }
        if (!result.compile_hints.empty()) {
            box += element("h3", tr("Hints")) + element("ul", hints) + line_end;
        }
        if (!result.compiler_output.empty()) {
            box += element("div", {{"class", "block"}},
                           element("h4", compiled ? "compiler warnings" : "compiler errors") +
                               element("pre", result.compiler_output)) +
                   line_end;
        }
        if (!compiled) {
            return box + element("p", "Its " + std::to_string(result.cases.size()) +
                                          " cases could not run.");
        }
        const auto failed =
            std::count_if(result.cases.begin(), result.cases.end(),
                          [](const CaseResult& c) { return c.verdict != CaseVerdict::passed; });
        const std::string counted =
            std::to_string(failed) + " of " + std::to_string(result.cases.size()) + " cases failed";
        box += element("p", page_words == nullptr ? counted + "." : tr(counted + ":")) + line_end;
        for (const CaseResult& one : result.cases) {
            if (one.verdict != CaseVerdict::passed) {
                box += failed_case(one);
            }
        }
        return box;
    }

    // The typical faults that explain a wrong program's failures, with their hints.
    static Markup diagnosis(const ProgramResult& result)
    {
        if (result.diagnosis.empty()) {
            return {};
        }
        Markup items;
        for (const Diagnosis& found : result.diagnosis) {
            std::string cases;
            for (const std::string& name : found.cases) {
                cases += (cases.empty() ? "" : ", ") + name;
            }
            items += element("li", element("strong", found.fault) +
                                       element("p", {{"class", "hint"}}, tr(found.hint)) +
                                       element("p", "explains " + cases)) +
                     line_end;
        }
        Markup box =
            element("h3", tr("Likely faults")) + element("ul", line_end + items) + line_end;
        if (!result.unexplained.empty()) {
            std::string cases;
            for (const std::string& name : result.unexplained) {
                cases += (cases.empty() ? "" : ", ") + name;
            }
            box += element("p", "No typical fault explains " + cases + ".") + line_end;
        }
        return box;
    }

    std::ostream& out_;
    const Report& report_;
};

} // namespace

void write_html(std::ostream& out, const Report& report)
{
    const Translation words = load_translation(report.language);
    page_words = &words;
    struct Reset {
        ~Reset() { page_words = nullptr; }
    } reset;
    Page(out, report).write();
}

} // namespace check
