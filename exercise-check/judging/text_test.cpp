// Text from a hand-in in every report: one treatment of bad bytes, and each format's escaping.
#include "text.h"

#include <doctest/doctest.h>
#include <nlohmann/json.hpp>

#include <string>

using namespace check;
using namespace std::string_literals;

namespace {

const std::string fffd = "\xEF\xBF\xBD";

} // namespace

TEST_CASE("a byte that is not UTF-8 becomes U+FFFD in every report alike")
{
    struct Sample {
        std::string bytes;
        std::string valid;
    };
    const Sample samples[] = {
        {"kra\xc4\x91", "kra\xc4\x91"}, // valid, two bytes
        {"\xe2\x82\xac \xf0\x9f\x98\x80", "\xe2\x82\xac \xf0\x9f\x98\x80"},
        {"\xff", fffd},                                  // never in UTF-8
        {"\xc3(", fffd + "("},                           // cut short
        {"\xe2\x82", fffd + fffd},                       // cut short at the end
        {"\xc0\xaf", fffd + fffd},                       // an overlong '/'
        {"\xe0\x80\xaf", fffd + fffd + fffd},            // an overlong '/' in three bytes
        {"\xed\xa0\x80", fffd + fffd + fffd},            // a surrogate
        {"\xf4\x90\x80\x80", fffd + fffd + fffd + fffd}, // beyond U+10FFFF
        {"\x80x", fffd + "x"},                           // a stray continuation byte
        {"\xf0\x8f\xbf\xbf", fffd + fffd + fffd + fffd}, // an overlong U+FFFF in four bytes
        {"\xf0\x90\x80\x80", "\xf0\x90\x80\x80"},        // U+10000, the first in four
        {"\xed\xbf\xbf", fffd + fffd + fffd},            // U+DFFF, the last surrogate
        {"\xed\x9f\xbf", "\xed\x9f\xbf"},                // U+D7FF, just below them
        {"\xee\x80\x80", "\xee\x80\x80"},                // U+E000, just above them
        {"\xf4\x8f\xbf\xbf", "\xf4\x8f\xbf\xbf"},        // U+10FFFF, the last of all
    };
    for (const Sample& sample : samples) {
        CAPTURE(sample.bytes);
        CHECK(is_utf8(sample.bytes) == (sample.valid == sample.bytes));
        CHECK(is_utf8(valid_utf8(sample.bytes)));
        // The JSON report's library refuses what is not UTF-8: whatever passes here, it takes.
        CHECK_NOTHROW(static_cast<void>(nlohmann::json(valid_utf8(sample.bytes)).dump()));
        if (is_utf8(sample.bytes)) {
            CHECK_NOTHROW(static_cast<void>(nlohmann::json(sample.bytes).dump()));
        } else {
            CHECK_THROWS(static_cast<void>(nlohmann::json(sample.bytes).dump()));
        }
        CHECK(valid_utf8(sample.bytes) == sample.valid);
        CHECK(for_terminal(sample.bytes) == sample.valid);
        CHECK(html_escaped(sample.bytes) == sample.valid);
        CHECK(xml_escaped(sample.bytes) == sample.valid);
        CHECK(csv_cell(sample.bytes) == sample.valid);
    }
}

TEST_CASE("control characters never reach a terminal, a page or an XML file")
{
    struct Sample {
        std::string bytes;
        std::string terminal;
        std::string xml;
    };
    const Sample samples[] = {
        {"\033[2J\033]0;owned\a", fffd + "[2J" + fffd + "]0;owned" + fffd,
         fffd + "[2J" + fffd + "]0;owned" + fffd},
        {"a\rb", "a" + fffd + "b", "a&#13;b"}, // a CR would let a line overwrite itself
        {"nul\0!"s, "nul" + fffd + "!", "nul" + fffd + "!"},
        {"del\x7f", "del" + fffd, "del" + fffd},
        {"csi\xc2\x9b", "csi" + fffd, "csi" + fffd}, // C1: an 8-bit escape
        {"nbsp\xc2\xa0", "nbsp\xc2\xa0", "nbsp\xc2\xa0"},
        {"tab\tand\nline", "tab\tand\nline", "tab\tand\nline"},
        {"\xef\xbf\xbe", "\xef\xbf\xbe", fffd}, // XML forbids U+FFFE
    };
    for (const Sample& sample : samples) {
        CAPTURE(sample.bytes);
        CHECK(for_terminal(sample.bytes) == sample.terminal);
        CHECK(html_escaped(sample.bytes) == sample.terminal);
        CHECK(xml_escaped(sample.bytes) == sample.xml);
    }
    CHECK(terminal_line("one\ntwo\tthree\033") == "one two three" + fffd);
}

TEST_CASE("HTML and XML escape what would end a text or an attribute")
{
    CHECK(html_escaped("<a href=\"x\">'&'</a>") ==
          "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
    CHECK(xml_escaped("<a b=\"c\">&") == "&lt;a b=&quot;c&quot;&gt;&amp;");
    CHECK(xml_escaped("a\tb\nc", true) == "a&#9;b&#10;c");
}

TEST_CASE("a CSV cell is quoted where it must be, and never runs as a formula")
{
    struct Sample {
        std::string text;
        std::string cell;
    };
    const Sample samples[] = {
        {"plain", "plain"},
        {"Ana Marić", "Ana Marić"},
        {"Smith, Jr.", "\"Smith, Jr.\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"old\rMac", "\"old\rMac\""}, // a lone CR ends a row too
        {"crlf\r\n", "\"crlf\r\n\""},
        {"=HYPERLINK(\"http://x\",\"y\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
        {"+1+1", "\"'+1+1\""},
        {"-2+3", "\"'-2+3\""},
        {"@SUM(A1)", "\"'@SUM(A1)\""},
        {"\t=1", "\"'\t=1\""},
        {"\r=1", "\"'\r=1\""},
        {"a=1", "a=1"},
        {"esc\033[31mape", "esc[31mape"}, // control bytes are dropped
        {"\033=1", "\"'=1\""},            // and cannot hide a formula
        {"bell\a nul\0"s, "bell nul"},
        {"csi\xc2\x9b", "csi"},
    };
    for (const Sample& sample : samples) {
        CAPTURE(sample.text);
        CHECK(csv_cell(sample.text) == sample.cell);
    }
}
