#include "compare.h"

#include <doctest/doctest.h>

#include <string>

using namespace check;

TEST_CASE("the first difference is found by line and column, and each byte is named")
{
    struct Example {
        const char* expected;
        const char* actual;
        std::size_t line;
        std::size_t column;
        const char* expected_byte;
        const char* actual_byte;
    };
    const Example examples[] = {
        {"Broj: 65\nLijeva znamenka: 6\n", "Broj: 65\nLijeva znamenka:6\n", 2, 17, "a blank",
         "'6'"},
        {"C++", "C++\n", 1, 4, "the end of the output", "'\\n'"},
        {"a\n", "a\r\n", 1, 2, "'\\n'", "'\\r'"},
        {"x\ny\n", "", 1, 1, "'x'", "the end of the output"},
        {"\n\n\nz", "\n\n\nq", 4, 1, "'z'", "'q'"},
        {"caf\xc3\xa9", "cafe", 1, 4, "'\\xc3'", "'e'"},
    };
    for (const Example& example : examples) {
        CAPTURE(std::string(example.expected));
        const auto difference = first_difference(example.expected, example.actual);
        REQUIRE(difference);
        CHECK(difference->line == example.line);
        CHECK(difference->column == example.column);
        CHECK(difference->expected == example.expected_byte);
        CHECK(difference->actual == example.actual_byte);
    }
    CHECK_FALSE(first_difference("same\n", "same\n"));
    CHECK(describe(*first_difference("ab", "ac")) ==
          "first difference at line 1, column 2: expected 'b', got 'c'");
}

TEST_CASE("layout alone is told apart from words and numbers")
{
    struct Example {
        const char* expected;
        const char* actual;
        bool layout_only;
    };
    const Example examples[] = {
        {"Lijeva znamenka: 6\n", "Lijeva znamenka:6\n", true},      // a lost blank
        {"Hello\n\nWorld\n\nC++", "Hello\n\nWorld\n\nC++\n", true}, // an extra line end
        {"a: 1\n", "a:  1\r\n", true},
        {"Hello World!\n", "Hello world!\n", false}, // a letter
        {"Prosjek: 170.333\n", "Prosjek: 170\n", false},
        {"Broj: 123\n", "Broj: 12 3\n", false}, // a number split in two is another number
        {"x: -5\n", "x: 5\n", false},
        {"a.\n", "a\n", false},
        {"Povrsina: 3.14\n", "Povrsina: 3. 14\n", false}, // a point alone is no decimal point
        {"Opseg: 15.708\n", "Opseg: 15.708 \n", true},
    };
    for (const Example& example : examples) {
        CAPTURE(std::string(example.actual));
        CHECK(same_but_layout(example.expected, example.actual) == example.layout_only);
    }
}

TEST_CASE("texts are shown with line ends and odd bytes visible, and long ones cut")
{
    struct Example {
        const char* bytes;
        const char* shown;
    };
    const Example examples[] = {
        {"a\nb\r\n\tc\x01", "a\\n\nb\\r\\n\n\\tc\\x01"},
        {"del\x7f", "del\\x7f"}, // DEL is a control byte too
        {"~ \x1f", "~ \\x1f"},
        {"\xc5\xa1", "\\xc5\\xa1"},
    };
    for (const Example& example : examples) {
        CAPTURE(std::string(example.bytes));
        CHECK(visible(example.bytes) == example.shown);
    }
    CHECK(visible_byte('\x7f') == "\\x7f");
    CHECK(visible(std::string(10, 'x'), 4) == "xxxx... and 6 bytes more");
    CHECK(with_crlf("a\nb\n") == "a\r\nb\r\n");
}
