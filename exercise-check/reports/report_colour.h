// The ANSI colours of the two terminal reports, and the line that warns of a check without the
// sandbox.
#pragma once

#include "report.h"

#include <string>
#include <string_view>

namespace check::colour {

// Whether the terminal reports are coloured: choice is --color's auto, always or never; with
// auto, only on a terminal and where NO_COLOR (no_color, null when unset) is unset or empty, as
// its convention has it.
inline bool wanted(std::string_view choice, bool terminal, const char* no_color)
{
    if (choice == "always" || choice == "never") {
        return choice == "always";
    }
    return terminal && (no_color == nullptr || *no_color == '\0');
}

constexpr std::string_view reset = "\033[0m";
constexpr std::string_view bold = "\033[1m";
constexpr std::string_view dim = "\033[2m";
constexpr std::string_view red = "\033[31m";
constexpr std::string_view green = "\033[32m";
constexpr std::string_view yellow = "\033[33m";

// The text in that colour where the style has colours, else as it is.
inline std::string painted(const TerminalStyle& style, std::string_view colour,
                           std::string_view text)
{
    if (!style.colour || colour.empty()) {
        return std::string(text);
    }
    std::string result(colour);
    result.append(text).append(reset);
    return result;
}

// The text in the learner's language, where the style has one.
inline std::string said(const TerminalStyle& style, const std::string& english)
{
    return style.words != nullptr ? (*style.words)(english) : english;
}

// The closing line that names the sandbox the programs ran in and what held their memory.
inline std::string sandbox_note(const TerminalStyle& style, const Report& report)
{
    if (report.sandbox == "none") {
        return {};
    }
    std::string text = "ran in the " + report.sandbox + " sandbox";
    if (!report.memory_limit.empty()) {
        text += ", memory held by " +
                std::string(report.memory_limit == "cgroup" ? "a cgroup" : report.memory_limit);
    }
    return painted(style, dim, said(style, text)) + "\n";
}

// How many programs' results were taken from the store, where any were.
inline std::string store_note(const TerminalStyle& style, const Report& report)
{
    if (report.from_store == 0) {
        return {};
    }
    std::size_t programs = 0;
    for (const PersonResult& person : report.people) {
        programs += handed_in(person);
    }
    return painted(style, dim,
                   said(style, std::to_string(report.from_store) + " of " +
                                   std::to_string(programs) +
                                   " programs taken from the store, checked before as now "
                                   "(--no-cache checks them anew)")) +
           "\n";
}

inline std::string sandbox_warning(const TerminalStyle& style)
{
    return painted(style, bold, said(style, "warning:")) + " " +
           said(style, "the programs ran without the sandbox, with your own rights") + "\n\n";
}

} // namespace check::colour
