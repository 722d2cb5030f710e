// Every difference in words, from the exercises' own outputs: each kind said where it is and what
// to write, and none said as a kind it is not.
#include "difference_words.h"

#include <doctest/doctest.h>

#include <string>

using namespace check;

namespace {

const std::string twodigits = "Broj: 65\nLijeva znamenka: 6\nDesna znamenka: 5\n"
                              "Broj: 65\nLijeva znamenka: 6\nDesna znamenka: 5\n";
const std::string threedigits = "Broj: 123\nLijeva: 1\nSrednja: 2\nDesna: 3\n";
const std::string echonumber = "Molim, unesite broj: Uneseni broj: 17\n";
const std::string circle = "IZRACUNAVANJE OPSEGA I POVRSINE KRUGA\n"
                           "Unesite radijus kruga: Povrsina kruga: 19.6349\nOpseg kruga: 15.708\n";
const std::string average = "Unesite visinu 1.studenta: Unesite visinu 2.studenta: Unesite visinu "
                            "3.studenta: \nProsjecna visina je: 170.333\n";
const std::string hellolines = "Hello\n\nWorld\n\nC++";
const std::string greetings = "\ndobar dan!\ndobrojutro";
const std::string helloworld = "Hello World!\n";

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    REQUIRE(at != std::string::npos);
    return text.replace(at, from.size(), to);
}

std::string repeated(const std::string& text, std::size_t times)
{
    std::string all;
    for (std::size_t i = 0; i < times; ++i) {
        all += text;
    }
    return all;
}

std::string said(const std::string& expected, const std::string& actual)
{
    const auto difference = first_difference(expected, actual);
    REQUIRE(difference);
    return in_words(expected, actual, *difference);
}

} // namespace

TEST_CASE("each kind of difference is said in words: where, and what to write")
{
    struct Example {
        const char* kind;
        std::string expected;
        std::string actual;
        const char* words;
    };
    const Example examples[] = {
        {"a missing blank", twodigits, replaced(twodigits, "Broj: 65", "Broj:65"),
         "line 1: write a blank after \"Broj:\""},
        {"a missing blank after a label of two words", twodigits,
         replaced(twodigits, "znamenka: 6", "znamenka:6"),
         "line 2: write a blank after \"Lijeva znamenka:\""},
        {"a missing blank after the second prompt on a line", echonumber,
         replaced(echonumber, "broj: 17", "broj:17"),
         "line 1: write a blank after \"Uneseni broj:\""},
        {"an extra blank", threedigits, replaced(threedigits, "Desna: 3", "Desna:  3"),
         "line 4: leave out the blank after \"Desna:\""},
        {"a blank at the end of a line", circle, replaced(circle, "15.708\n", "15.708 \n"),
         "line 3: leave out the blank at the end of the line, after \"Opseg kruga: 15.708\""},
        {"a tab for a blank", helloworld, "Hello\tWorld!\n",
         "line 1: write a blank, not a tab, after \"Hello\""},
        {"a line end for a blank", echonumber, "Molim, unesite broj:\nUneseni broj: 17\n",
         "line 1: write a blank, not a line end, after \"Molim, unesite broj:\""},
        {"a missing line end between lines", threedigits,
         replaced(threedigits, "1\nSrednja", "1Srednja"),
         "line 2: write a line end after \"Lijeva: 1\""},
        {"a missing line end at the end", circle, replaced(circle, "15.708\n", "15.708"),
         "line 3: end the last line with a line end, after \"Opseg kruga: 15.708\""},
        {"an extra line end at the end", hellolines, hellolines + "\n",
         "line 5: leave out the line end at the end: the output ends after \"C++\""},
        {"an extra line end within a line", echonumber, "Molim, unesite broj: \nUneseni broj: 17\n",
         "line 1: leave out the line end after \"Molim, unesite broj:\": the line goes on"},
        {"a missing empty line at the start", greetings, "dobar dan!\ndobrojutro",
         "line 1: start the output with an empty line"},
        {"a missing empty line between lines", hellolines, "Hello\nWorld\n\nC++",
         "line 2: write an empty line after \"Hello\""},
        {"an extra empty line between lines", helloworld + "Kraj\n", "Hello World!\n\nKraj\n",
         "line 2: leave out the empty line after \"Hello World!\""},
        {"an extra empty line at the start", helloworld, "\nHello World!\n",
         "line 1: leave out the empty line at the start"},
        {"an extra empty line at the end", threedigits, threedigits + "\n",
         "line 5: leave out the empty line after \"Desna: 3\""},
        {"a CR before each line end", helloworld, "Hello World!\r\n",
         "line 1: write the line end as \\n alone, without a CR (\\r) before it, after \"Hello "
         "World!\""},
        {"letter case", helloworld, "Hello world!\n",
         "line 1: write \"World\", not \"world\": mind the capital and small letters"},
        {"a letter with a diacritic", circle, replaced(circle, "Povrsina", "Povr\xc5\xa1ina"),
         "line 2: write \"Povrsina\", not \"Povr\\xc5\\xa1ina\": the exercise writes its letters "
         "plain, without diacritics"},
        {"a misspelt word", twodigits, replaced(twodigits, "Lijeva", "Ljeva"),
         "line 2: write \"Lijeva\", not \"Ljeva\": a misspelt word"},
        {"a missing colon", threedigits, replaced(threedigits, "Srednja:", "Srednja"),
         "line 3: write \":\" after \"Srednja\""},
        {"a missing exclamation mark", helloworld, "Hello World\n",
         "line 1: write \"!\" after \"Hello World\""},
        {"an extra word", threedigits, replaced(threedigits, "Lijeva: 1", "Lijeva znamenka: 1"),
         "line 2: leave out \"znamenka\" after \"Lijeva\""},
        {"a number with more digits", circle, replaced(circle, "19.6349", "19.634954"),
         "line 2: write 19.6349, not 19.634954: the same value in another notation; write it "
         "with << and the stream's default format, without fixed, setprecision or printf"},
        {"a number with an exponent", circle, replaced(circle, "19.6349", "1.963495e+01"),
         "line 2: write 19.6349, not 1.963495e+01: the same value in another notation; write it "
         "with << and the stream's default format, without fixed, setprecision or printf"},
        {"a whole number in fixed notation", "Prosjecna visina je: 175\n",
         "Prosjecna visina je: 175.000000\n",
         "line 1: write 175, not 175.000000: the same value in another notation; write it with "
         "<< and the stream's default format, without fixed, setprecision or printf"},
        {"another value", average, replaced(average, "170.333", "170"),
         "line 2: write 170.333, not 170: another value"},
        {"two values swapped", circle,
         replaced(replaced(replaced(circle, "19.6349", "@"), "15.708", "19.6349"), "@", "15.708"),
         "lines 2 and 3: 19.6349 and 15.708 are in each other's place: write 19.6349 first"},
        {"two values swapped in each block that prints them", twodigits,
         "Broj: 65\nLijeva znamenka: 5\nDesna znamenka: 6\nBroj: 65\nLijeva znamenka: 5\n"
         "Desna znamenka: 6\n",
         "lines 2 and 3: 6 and 5 are in each other's place: write 6 first"},
        {"a block of lines missing", twodigits, twodigits.substr(0, twodigits.size() / 2),
         "lines 4 to 6, \"Broj: 65\" to \"Desna znamenka: 5\", are missing: write them after "
         "line 3"},
        {"two words run together", helloworld, "HelloWorld!\n",
         "line 1: write a blank between \"Hello\" and \"World\""},
        {"a number split in two", threedigits, replaced(threedigits, "123", "12 3"),
         "line 1: leave out the blank between \"12\" and \"3\": they are one"},
        {"a line missing", threedigits, "Broj: 123\nLijeva: 1\nDesna: 3\n",
         "line 3: the line \"Srednja: 2\" is missing: write it after line 2"},
        {"a line too many", threedigits, "Broj: 123\nLijeva: 1\nSrednja: 2\nSrednja: 2\nDesna: 3\n",
         "line 4: leave out the line \"Srednja: 2\""},
        {"nothing written", echonumber, "",
         "line 1: the line \"Molim, unesite broj: Uneseni broj: 17\" is missing: write it first"},
        {"the output stops early", circle,
         "IZRACUNAVANJE OPSEGA I POVRSINE KRUGA\nUnesite radijus kruga: ",
         "line 2: the output stops after \"Unesite radijus kruga:\": write the rest, from "
         "\"Povrsina\" on"},
        {"a prompt asked again and again", echonumber, repeated("Molim, unesite broj: ", 50),
         "line 1: it asks \"Molim, unesite broj:\" again and again (50 times): its loop never "
         "ends; let it end when the input does or a read fails"},
        {"a counting prompt asked again and again", average,
         "Unesite visinu 1.studenta: Unesite visinu 2.studenta: Unesite visinu 3.studenta: "
         "Unesite visinu 4.studenta: Unesite visinu 5.studenta: Unesite visinu 6.studenta: "
         "Unesite visinu 7.studenta: Unesite visinu 8.studenta: Unesite visinu 9.studenta: "
         "Unesite visinu 10.studenta: Unesite visinu 11.studenta: Unesite visinu 12.studenta: "
         "Unesite visinu 13.studenta: ",
         "line 1: it asks \"Unesite visinu 1.studenta:\" again and again (13 times): its loop "
         "never ends; let it end when the input does or a read fails"},
        {"other words altogether: only where", echonumber, "Broj je 17\n",
         "line 1, column 1: expected 'M', got 'B'"},
    };
    for (const Example& example : examples) {
        CAPTURE(std::string(example.kind));
        CAPTURE(std::string(example.actual));
        CHECK(said(example.expected, example.actual) == example.words);
    }
}

TEST_CASE("a difference is not said as a kind it is not")
{
    struct Example {
        const char* what;
        std::string expected;
        std::string actual;
        const char* never;
    };
    const Example examples[] = {
        {"two different numbers", circle, replaced(circle, "19.6349", "15.708"), "notation"},
        {"a close value written the same way", circle, replaced(circle, "19.6349", "19.635"),
         "notation"},
        {"two whole numbers close in ratio", "Uneseni broj: 2147483647\n",
         "Uneseni broj: 2147483646\n", "notation"},
        {"minus zero", "Opseg kruga: -0\n", "Opseg kruga: 0\n", "notation"},
        {"minus zero against zero with an exponent", "Opseg kruga: -0\n",
         "Opseg kruga: 0.000000e+00\n", "notation"},
        {"whole numbers close by", "Uneseni broj: 99999\n", "Uneseni broj: 100000\n", "notation"},
        {"a number with fewer digits", average, replaced(average, "170.333", "170.33"), "notation"},
        {"two values that differ, not swapped", circle,
         replaced(replaced(circle, "19.6349", "15.708"), "Opseg kruga: 15.708",
                  "Opseg kruga: 19.634"),
         "each other's place"},
        {"two swapped and a third other", threedigits,
         "Broj: 123\nLijeva: 2\nSrednja: 1\nDesna: 4\n", "each other's place"},
        {"an unrelated word", twodigits, replaced(twodigits, "Lijeva", "Desna"), "misspelt"},
        {"a word with a diacritic that is another word", circle,
         replaced(circle, "Povrsina", "Povr\xc5\xa1"), "diacritics"},
        {"a prompt said as often as it should be", twodigits,
         replaced(twodigits, "Desna znamenka: 5\n", "Desna znamenka:5\n"), "again and again"},
        {"a few prompts too many", echonumber, repeated("Molim, unesite broj: ", 3),
         "again and again"},
        {"a prompt the exercise asks often, asked once more", repeated("Broj: ", 12),
         repeated("Broj: ", 13), "again and again"},
        {"numbers repeated", "0\n", repeated("1\n", 40), "again and again"},
        {"a word lost, not two run together", helloworld, "Hello!\n", "between"},
        {"lines changed as well as missing", threedigits, "Broj: 123\nLijeva: 2\n", "missing"},
    };
    for (const Example& example : examples) {
        CAPTURE(std::string(example.what));
        const std::string words = said(example.expected, example.actual);
        CAPTURE(words);
        CHECK(words.find(example.never) == std::string::npos);
        CHECK(words.rfind("line", 0) == 0); // it always says where
        CHECK(words.find('\n') == std::string::npos);
    }
}
