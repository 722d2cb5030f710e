// Text from a hand-in made fit for each report: valid UTF-8, and the escaping of the terminal,
// HTML, XML and CSV. Every report escapes through here, so that all treat a bad byte alike.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace check {

// The length of the valid UTF-8 sequence at text[at], or 0 when none starts there (a stray
// continuation byte, an overlong form, a surrogate, beyond U+10FFFF, cut short).
std::size_t utf8_length(std::string_view text, std::size_t at);

// Whether the whole text is valid UTF-8.
bool is_utf8(std::string_view text);

// The text as valid UTF-8: each byte that does not start a valid sequence becomes U+FFFD; without
// controls, so does each control character but tab and line end (C0, DEL and C1, ESC among them).
std::string valid_utf8(std::string_view text, bool controls = true);

// For the terminal: valid UTF-8 without a control character but tab and line end, so that
// nothing in it can move the cursor, change colours or retitle the window.
std::string for_terminal(std::string_view text);

// As for_terminal, on one line: tabs and line ends become blanks.
std::string terminal_line(std::string_view text);

// For HTML, in an element or a quoted attribute: as for_terminal, with & < > " ' escaped.
std::string html_escaped(std::string_view text);

// For XML 1.0, in an element or (attribute) a double-quoted attribute: what XML forbids (control
// characters, U+FFFE, U+FFFF) becomes U+FFFD; a CR, and in an attribute a tab or line end, is
// written as a reference, which a parser keeps where it would change the character itself.
std::string xml_escaped(std::string_view text, bool attribute = false);

// One CSV cell as RFC 4180 has it: valid UTF-8 without control bytes but tab and line ends,
// quoted where it holds a comma, quote or line end. A cell a spreadsheet would run as a formula
// (one that starts with = + - @, a tab or a CR) gets a leading ' and quotes.
std::string csv_cell(std::string_view text);

// The order people are listed in: letters regardless of case, numbers by their value (Person 2
// before Person 10), then the bytes.
bool name_order(std::string_view left, std::string_view right);

// Text a hand-in controls made safe to show as lines: line ends and tabs kept (unless one_line),
// a CR and every other control byte as \xHH, cut after limit bytes, saying how many more there
// were.
std::string plain_text(std::string_view bytes, std::size_t limit, bool one_line = false);

// The text's lines, without their line ends.
std::vector<std::string> lines_of_text(std::string_view text);

// Whether text starts or ends with the other, byte for byte.
bool starts_with(std::string_view text, std::string_view start);
bool ends_with(std::string_view text, std::string_view end);

// The text without the blanks, tabs and line ends around it.
std::string_view trimmed(std::string_view text);

} // namespace check
