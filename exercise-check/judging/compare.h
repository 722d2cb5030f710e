// Compares a program's output with the expected bytes: where they first differ, whether only the
// layout differs, and both texts with every line end made visible.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace check {

struct Difference {
    std::size_t line = 1;   // counted from 1
    std::size_t column = 1; // in bytes, counted from 1
    std::string expected;   // "a blank", "'\n'", "the end of the output", ...
    std::string actual;
};

// Where the two texts first differ, or nothing when they are the same bytes.
std::optional<Difference> first_difference(std::string_view expected, std::string_view actual);

// "line 2, column 17: expected a blank, got '6'"
std::string where(const Difference& difference);

// "first difference at line 2, column 17: expected a blank, got '6'"
std::string describe(const Difference& difference);

// True when the texts differ only in blanks, tabs and line ends: the same words, numbers and
// signs in the same order ("Broj:65" and "Broj: 65", an extra or missing line end).
bool same_but_layout(std::string_view expected, std::string_view actual);

// A word, a number or a sign of a text, and where it starts in the text.
struct Token {
    std::string_view text;
    std::size_t at = 0;
};

bool operator==(const Token& left, const Token& right); // the same text, wherever it stands

// The words, numbers and signs of a text, as same_but_layout() compares them: runs of letters,
// digits, points and signs; every other byte that is not a blank stands alone.
std::vector<Token> tokens_of(std::string_view text);

// The text as it reads, with each line end shown as \n before the real one, a CR as \r, a tab as
// \t and any other byte outside printable ASCII as \xHH; cut after limit bytes, saying how many
// more there were.
std::string visible(std::string_view bytes, std::size_t limit = 4000);

// One byte as visible() shows it: \n, \x1b, a.
std::string visible_byte(char byte);

// The text with every LF written as CRLF, as a Windows program's stream writes it.
std::string with_crlf(std::string_view text);

} // namespace check
