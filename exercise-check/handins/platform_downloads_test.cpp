// Course platforms' downloads: each layout told apart, its people and their latest hand-ins
// found, every other entry said unread, and no name from a download trusted.
#include "platform_downloads.h"
#include "text.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace check;

namespace {

const std::vector<std::string> programs{"twodigits", "circle", "helloworld"};

DownloadEntry file(const std::string& name, const std::string& text = "")
{
    return {name, false, text};
}

DownloadEntry folder(const std::string& name)
{
    return {name, true, ""};
}

// One person as a line: name [id] late: as<entry ...; earlier: entry ...; with: name ...
std::string line_of(const DownloadPerson& person)
{
    std::string line =
        person.name + " [" + person.id + "]" + (person.late.value_or(false) ? " late" : "") + ":";
    for (const GivenEntry& entry : person.entries) {
        line += " " + entry.as + (entry.folder ? "/" : "") + "<" + entry.entry;
    }
    if (!person.earlier.empty()) {
        line += "; earlier:";
        for (const std::string& entry : person.earlier) {
            line += " " + entry;
        }
    }
    if (!person.with.empty()) {
        line += "; with:";
        for (const std::string& name : person.with) {
            line += " " + name;
        }
    }
    return line;
}

// What holds for every download read: each entry either someone's (given, earlier, a receipt;
// a group's submission is each member's) or said unread once, each name a hand-in's file takes a
// single safe one, and each person's name shown as it is.
void check_accounted(const std::vector<DownloadEntry>& top, const Download& download)
{
    std::set<std::string> someones;
    std::map<std::string, int> unread;
    std::set<std::string> folders;
    for (const DownloadPerson& person : download.people) {
        CAPTURE(person.name);
        CHECK(folders.insert(person.folder).second);
        CHECK(is_utf8(person.folder));
        CHECK((!person.folder.empty() && person.folder != "." && person.folder != ".."));
        CHECK(person.folder.size() <= 255);
        CHECK(person.folder.front() != '.');
        CHECK(person.folder.find_first_of("/\\\n\x1b\x07") == std::string::npos);
        CHECK(is_utf8(person.name));
        CHECK(person.name.find_first_of("\n\r\t\x1b\x07") == std::string::npos);
        CHECK(!person.name.empty());
        for (const GivenEntry& entry : person.entries) {
            someones.insert(entry.entry);
            CHECK(is_utf8(entry.as));
            CHECK(entry.as.size() <= 255);
            CHECK((!entry.as.empty() && entry.as != "." && entry.as != ".."));
            CHECK(entry.as.find_first_of("/\\\n\x1b") == std::string::npos);
        }
        someones.insert(person.earlier.begin(), person.earlier.end());
        someones.insert(person.receipts.begin(), person.receipts.end());
    }
    for (const NotRead& entry : download.not_read) {
        ++unread[entry.entry];
        CHECK(!entry.why.empty());
    }
    if (download.platform == Platform::none) {
        CHECK(download.people.empty());
        return;
    }
    for (const DownloadEntry& entry : top) {
        CAPTURE(entry.name);
        CHECK((someones.count(entry.name) > 0 ? 1 : 0) + unread[entry.name] == 1);
    }
}

struct Layout {
    std::string what;
    std::vector<DownloadEntry> top;
    Platform platform;
    std::vector<std::string> people;   // line_of each, in order
    std::vector<std::string> not_read; // their entries, in order
};

const std::string gradescope_yaml = R"(---
submission_101:
  :submitters:
  - :name: Ana Čeh
    :sid: '0036512345'
    :email: ana.ceh@example.com
  - :name: "Šimić Ivan"
    :sid: "0036500002"
  :created_at: 2024-03-04 10:15:32.000000000 +01:00
  :score: 9.0
submission_102:
  :submitters:
  -   :name: !binary |-
        xJB1csSRZXZpxIcgTHVrYQ==
      :sid: 0036500003
  :created_at: 2024-03-04 11:00:00.000000000 +01:00
submission_103:
  :submitters:
  - :name: "Marko \u0048orvat # not a comment"
    :email: marko@example.com # a comment
  :created_at: 2024-03-05 09:00:00.000000000 +01:00
submission_104:
  :submitters:
  - :name: Ana Čeh
    :sid: '0036512345'
  :created_at: 2024-03-03 08:00:00.000000000 +01:00
submission_105:
  :submitters:
  - :name: Ghost Person
    :sid: '9'
  :created_at: 2024-03-03 08:00:00.000000000 +01:00
:submission_107:
  :submitters:
  - :name: Luka Đurđević
    :sid: '0036500003'
  :created_at: 2024-03-06 08:00:00.000000000 +01:00
)";

std::string receipt(const std::string& name, const std::vector<std::string>& files = {})
{
    std::string text = "Name: " + name +
                       "\nAssignment: Zadaca 1\nDate Submitted: Monday\n\n"
                       "Submission Field:\nThere is no student submission "
                       "text data for this assignment.\n\nFiles:\n";
    for (std::size_t i = 0; i + 1 < files.size(); i += 2) {
        text += "\tOriginal filename: " + files[i] + "\n\tFilename: " + files[i + 1] + "\n";
    }
    return text;
}

const std::string bb = "Zadaca 1_";

std::vector<Layout> layouts()
{
    return {
        {"Canvas: late work, re-uploads, a folder unpacked, an archive, an .exe or .txt only",
         {file("čehana_1001_5001_twodigits.cpp"), file("čehana_1001_5002_circle.cpp"),
          file("šimićivan_late_1002_5003_twodigits.cpp"),
          file("đurđevićluka_1003_5004_twodigits.cpp"),
          file("đurđevićluka_1003_5011_twodigits-2.cpp"),
          file("đurđevićluka_1003_5010_twodigits-1.cpp"), folder("horvatmarko_1004_5005_zadaca"),
          file("kovačana_1005_5006_zadaca.zip"), file("babićpetra_1006_5007_program.exe"),
          file("perićivo_1007_5008_readme.txt"), file("novakmaja_1008_5009_TwoDigits-1.cpp"),
          file("notes.txt"), file(".DS_Store")},
         Platform::canvas,
         {"babićpetra [1006]: program.exe<babićpetra_1006_5007_program.exe",
          "horvatmarko [1004]: zadaca/<horvatmarko_1004_5005_zadaca",
          "kovačana [1005]: zadaca.zip<kovačana_1005_5006_zadaca.zip",
          "novakmaja [1008]: TwoDigits.cpp<novakmaja_1008_5009_TwoDigits-1.cpp",
          "perićivo [1007]: readme.txt<perićivo_1007_5008_readme.txt",
          "čehana [1001]: twodigits.cpp<čehana_1001_5001_twodigits.cpp "
          "circle.cpp<čehana_1001_5002_circle.cpp",
          "đurđevićluka [1003]: twodigits.cpp<đurđevićluka_1003_5011_twodigits-2.cpp; earlier: "
          "đurđevićluka_1003_5004_twodigits.cpp đurđevićluka_1003_5010_twodigits-1.cpp",
          "šimićivan [1002] late: twodigits.cpp<šimićivan_late_1002_5003_twodigits.cpp"},
         {".DS_Store", "notes.txt"}},
        {"Canvas: a -1 is a re-upload's only beside its file or on a program's name",
         {file("anaana_1_2_zadatak-1.cpp"), file("anaana_1_3_zadatak-2.cpp"),
          file("anaana_1_4_main.cpp"), file("anaana_1_9_main-1.cpp"),
          file("anaana_1_5_circle-3.cpp"), file("anaana_1_6_circle-12.cpp"),
          file("anaana_1_7_helloworld-1234.cpp")},
         Platform::canvas,
         {"anaana [1]: zadatak-1.cpp<anaana_1_2_zadatak-1.cpp "
          "zadatak-2.cpp<anaana_1_3_zadatak-2.cpp"
          " main.cpp<anaana_1_9_main-1.cpp circle.cpp<anaana_1_6_circle-12.cpp "
          "helloworld-1234.cpp<anaana_1_7_helloworld-1234.cpp; earlier: anaana_1_4_main.cpp "
          "anaana_1_5_circle-3.cpp"},
         {}},
        {"Canvas: a group's hand-in, and two people of one name told apart",
         {file("tim1_1001_5001_twodigits.cpp"), file("horvatana_7_8_circle.cpp"),
          file("horvatana_3_4_circle.cpp")},
         Platform::canvas,
         {"horvatana 3 [3]: circle.cpp<horvatana_3_4_circle.cpp",
          "horvatana 7 [7]: circle.cpp<horvatana_7_8_circle.cpp",
          "tim1 [1001]: twodigits.cpp<tim1_1001_5001_twodigits.cpp"},
         {}},
        {"Canvas: hostile names refused, or their files named safely",
         {file("../čehana_1_2_x.cpp"), file("čehana_1_3_..\\..\\x.cpp"), file("čehana_1_4_.."),
          file("ana\nana_2_5_x.cpp"), file("ana\x1b[2Jana_2_6_x.cpp"),
          file(std::string(300, 'a') + "_3_7_x.cpp"), file("."), file(""), file("bob_4_8_ok.cpp")},
         Platform::canvas,
         {"bob [4]: ok.cpp<bob_4_8_ok.cpp",
          "čehana [1]: .._.._x.cpp<čehana_1_3_..\\..\\x.cpp _..<čehana_1_4_.."},
         {"../čehana_1_2_x.cpp", "ana\nana_2_5_x.cpp", "ana\x1b[2Jana_2_6_x.cpp",
          std::string(300, 'a') + "_3_7_x.cpp", ".", ""}},
        {"Blackboard: receipts name people, the latest attempt wins, originals' names kept",
         {file(bb + "aceh_attempt_2024-03-01-10-00-00.txt",
               receipt("Ana Čeh (aceh)",
                       {"twodigits.cpp", bb + "aceh_attempt_2024-03-01-10-00-00_twodigits.cpp"})),
          file(bb + "aceh_attempt_2024-03-01-10-00-00_twodigits.cpp"),
          file(bb + "aceh_attempt_2024-03-02-09-30-00.txt",
               receipt("Ana Čeh (aceh)",
                       {"Two Digits.cpp", bb + "aceh_attempt_2024-03-02-09-30-00_Two_Digits.cpp",
                        "../../etc/x.cpp", bb + "aceh_attempt_2024-03-02-09-30-00_x.cpp"})),
          file(bb + "aceh_attempt_2024-03-02-09-30-00_Two_Digits.cpp"),
          file(bb + "aceh_attempt_2024-03-02-09-30-00_x.cpp"),
          file(bb + "i_simic_attempt_2024-03-01-12-00-00.txt", receipt("Ivan Šimić (i_simic)")),
          file(bb + "i_simic_attempt_2024-03-01-12-00-00_zadaca.zip"),
          file(bb + "ldurdevic_attempt_2024-03-01-08-00-00_circle.cpp"),
          file(bb + "mhorvat_attempt_2024-03-01-08-00-00.txt",
               receipt("Marko\x1b]0;x\x07 Horvat (mhorvat)")),
          file("gradebook.csv")},
         Platform::blackboard,
         {"Ana Čeh [aceh]: Two Digits.cpp<Zadaca 1_aceh_attempt_2024-03-02-09-30-00_Two_Digits.cpp "
          "x.cpp<Zadaca 1_aceh_attempt_2024-03-02-09-30-00_x.cpp; earlier: "
          "Zadaca 1_aceh_attempt_2024-03-01-10-00-00_twodigits.cpp "
          "Zadaca 1_aceh_attempt_2024-03-01-10-00-00.txt",
          "Ivan Šimić [i_simic]: zadaca.zip<Zadaca "
          "1_i_simic_attempt_2024-03-01-12-00-00_zadaca.zip",
          "ldurdevic [ldurdevic]: circle.cpp<Zadaca "
          "1_ldurdevic_attempt_2024-03-01-08-00-00_circle.cpp",
          "Marko\xEF\xBF\xBD]0;x\xEF\xBF\xBD Horvat [mhorvat]:"},
         {"gradebook.csv"}},
        {"Gradescope: metadata names people, a group's submission is each one's, the latest wins",
         {file("submission_metadata.yml", gradescope_yaml), folder("submission_101"),
          folder("submission_102"), folder("submission_103"), folder("submission_104"),
          folder("submission_999"), file("submission_106.pdf"), folder("submission_107"),
          file("README.txt")},
         Platform::gradescope,
         {"Ana Čeh [0036512345]: submission_101/<submission_101; earlier: submission_104; with: "
          "Šimić Ivan",
          "Ghost Person [9]:",
          "Luka Đurđević [0036500003]: submission_107/<submission_107; earlier: submission_102",
          "Marko Horvat # not a comment [marko@example.com]: "
          "submission_103/<submission_103",
          "submission_106 [106]: submission_106.pdf<submission_106.pdf",
          "submission_999 [999]: submission_999/<submission_999",
          "Šimić Ivan [0036500002]: submission_101/<submission_101; with: Ana Čeh"},
         {"README.txt"}},
        {"Google Drive: files by name, re-uploads, a folder of one's own",
         {file("Ana Čeh - twodigits.cpp"), file("Ana Čeh - circle.cpp"),
          file("Šimić Ivan - twodigits.cpp"), file("Šimić Ivan - twodigits (1).cpp"),
          file("Šimić Ivan - twodigits (2).cpp"), file("Đurđević Luka - Zadatak - 1 (1).cpp"),
          folder("Marko Horvat"), folder("Ana Čeh - projekt"), folder("Šimić Ivan"),
          file("upute.pdf")},
         Platform::google_drive,
         {"Ana Čeh []: twodigits.cpp<Ana Čeh - twodigits.cpp circle.cpp<Ana Čeh - circle.cpp "
          "projekt/<Ana Čeh - projekt",
          "Marko Horvat []: Marko Horvat/<Marko Horvat",
          "Đurđević Luka []: Zadatak - 1 (1).cpp<Đurđević Luka - Zadatak - 1 (1).cpp",
          "Šimić Ivan []: twodigits.cpp<Šimić Ivan - twodigits (2).cpp Šimić Ivan/<Šimić Ivan; "
          "earlier: Šimić Ivan - "
          "twodigits.cpp Šimić Ivan - twodigits (1).cpp"},
         {"upute.pdf"}},
        {"a class's own folders are no platform's",
         {folder("Ana Čeh"), folder("Ivan"), file("luka.zip")},
         Platform::none,
         {},
         {}},
        {"Moodle's names are no other platform's",
         {folder("Ana Marić_1001_assignsubmission_file_"),
          file("Ivo Ivić_1002_assignsubmission_file_twodigits.cpp")},
         Platform::none,
         {},
         {}},
        {"a few platform names among many others are no layout",
         {file("čehana_1_2_x.cpp"), folder("alice"), folder("bob"), file("carol.zip")},
         Platform::none,
         {},
         {}},
    };
}

} // namespace

TEST_CASE(
    "each platform's download: its layout, its people, their latest hand-ins, the rest unread")
{
    for (const Layout& layout : layouts()) {
        CAPTURE(layout.what);
        const Download download = read_download(layout.top, programs);
        CHECK(platform_text(download.platform) == platform_text(layout.platform));
        std::vector<std::string> people;
        for (const DownloadPerson& person : download.people) {
            people.push_back(line_of(person));
        }
        CHECK(people == layout.people);
        std::vector<std::string> not_read;
        for (const NotRead& entry : download.not_read) {
            not_read.push_back(entry.entry);
        }
        CHECK(not_read == layout.not_read);
        check_accounted(layout.top, download);
    }
}

TEST_CASE("a person's note says late work, earlier attempts and the group")
{
    struct Case {
        std::vector<DownloadEntry> top;
        std::string person;
        std::vector<std::string> said; // what the note says, each in its words
    };
    const std::vector<Case> cases{
        {{file("anaana_late_1_2_circle.cpp"), file("anaana_late_1_3_circle-1.cpp")},
         "anaana",
         {"handed in late", "earlier uploads not checked: anaana_late_1_2_circle.cpp"}},
        {{file(bb + "aceh_attempt_2024-03-01-10-00-00_a.cpp"),
          file(bb + "aceh_attempt_2024-03-02-11-05-09_a.cpp")},
         "aceh",
         {"the attempt of 2024-03-02 11:05:09 checked",
          "earlier attempts not: 2024-03-01 10:00:00"}},
        {{file("submission_metadata.yml", gradescope_yaml), folder("submission_101")},
         "Ana Čeh",
         {"handed in with Šimić Ivan", "earlier submissions not checked: submission_104"}},
        {{file("submission_metadata.yml", gradescope_yaml), folder("submission_101")},
         "Ghost Person",
         {"Gradescope's export has no submission_105"}},
    };
    for (const Case& test : cases) {
        const Download download = read_download(test.top, programs);
        const auto person =
            std::find_if(download.people.begin(), download.people.end(),
                         [&](const DownloadPerson& p) { return p.name == test.person; });
        REQUIRE(person != download.people.end());
        for (const std::string& words : test.said) {
            CAPTURE(person->note);
            CHECK(person->note.find(words) != std::string::npos);
        }
    }
}

TEST_CASE("the names receipts and metadata give are shown as they are, one line, not too long")
{
    struct Case {
        std::string raw; // as in the metadata's double quotes
        std::string shown;
    };
    const std::string long_name(300, 'a');
    std::string many_c;
    for (int i = 0; i < 150; ++i) {
        many_c += "č";
    }
    const std::vector<Case> cases{
        {"Ana Čeh", "Ana Čeh"},
        {"  Ana\\tČeh \\n", "Ana Čeh"},               // escapes
        {"Ana\\e[31mČeh", "Ana\xEF\xBF\xBD[31mČeh"},  // an escape made ESC
        {"Ana\x1b[31mČeh", "Ana\xEF\xBF\xBD[31mČeh"}, // ESC itself
        {"\\xff", "\xC3\xBF"},                        // an escape is a code point, U+00FF
        {"", "0036"},                                 // no name: the SID
        {"\\n\\r\\t", "0036"},
        {long_name, std::string(200, 'a') + "…"},
        {many_c, many_c.substr(0, 200) + "…"},    // never cut inside a letter
        {"../../etc/passwd", "../../etc/passwd"}, // shown, and its folder made safe
    };
    for (const Case& test : cases) {
        CAPTURE(test.raw);
        const std::string yaml =
            "submission_1:\n  :submitters:\n  - :name: \"" + test.raw + "\"\n    :sid: '0036'\n";
        const std::vector<DownloadEntry> top{file("submission_metadata.yml", yaml),
                                             folder("submission_1")};
        const Download download = read_download(top, programs);
        check_accounted(top, download);
        REQUIRE(download.people.size() == 1);
        CHECK(download.people[0].name == test.shown);
        CHECK(is_utf8(download.people[0].name));
    }
    // A name with bytes that are no UTF-8 at all, as a receipt may hold.
    const Download download =
        read_download({file(bb + "aceh_attempt_2024-03-01-10-00-00.txt", receipt("Ana \xC8"
                                                                                 "eh (aceh)"))},
                      programs);
    REQUIRE(download.people.size() == 1);
    CHECK(download.people[0].name == "Ana \xEF\xBF\xBD"
                                     "eh");
}

TEST_CASE("each person's folder is their own, where names differ only in what is unsafe")
{
    std::string yaml;
    std::vector<DownloadEntry> top{file("submission_metadata.yml")};
    const std::vector<std::string> names{"a_b", "a/b", "a\\\\b", ".download"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        yaml += "submission_" + std::to_string(i) + ":\n  :submitters:\n  - :name: \"" + names[i] +
                "\"\n    :sid: '" + std::to_string(i) + "'\n";
        top.push_back(folder("submission_" + std::to_string(i)));
    }
    top.front().text = yaml;
    const Download download = read_download(top);
    check_accounted(top, download);
    std::vector<std::string> folders;
    for (const DownloadPerson& person : download.people) {
        folders.push_back(person.name + ">" + person.folder);
    }
    CHECK(folders == std::vector<std::string>{".download>_.download", "a/b>a_b", "a\\b>a_b (2)",
                                              "a_b>a_b (3)"});
}

TEST_CASE("Gradescope's metadata read defensively: what it cannot read is passed over")
{
    struct Case {
        std::string what;
        std::string yaml;
        std::vector<std::string> submitters; // key: name/sid/email, ...
    };
    const std::vector<Case> cases{
        {"the export's own",
         gradescope_yaml,
         {"submission_101: Ana Čeh/0036512345/ana.ceh@example.com Šimić Ivan/0036500002/",
          "submission_102: Đurđević Luka/0036500003/",
          "submission_103: Marko Horvat # not a comment//marko@example.com",
          "submission_104: Ana Čeh/0036512345/", "submission_105: Ghost Person/9/",
          "submission_107: Luka Đurđević/0036500003/"}},
        {"CR line ends, a byte-order mark, a list at the key's indent",
         "\xEF\xBB\xBFsubmission_1:\r\n  :submitters:\r\n    - :name: A B\r\n      :sid: '1'\r\n",
         {"submission_1: A B/1/"}},
        {"quotes doubled and cut short",
         "submission_1:\n  :submitters:\n  - :name: 'O''Brien'\n  "
         "- :name: \"cut\n  - :name: 'cut",
         {"submission_1: O'Brien// cut// cut//"}},
        {"an empty list, other keys, and lines of nothing known",
         "submission_1:\n  :submitters: []\n  :other:\n  - :name: Not A Submitter\n"
         "garbage without a colon\n  : :\n- :name: stray\nsettings:\n  :submitters:\n  - :name: "
         "X\n",
         {"submission_1:"}},
        {"a surrogate and an escape beyond Unicode",
         "submission_1:\n  :submitters:\n  - :name: \"\\uD800\\U0011FFFF\"\n",
         {"submission_1: \xEF\xBF\xBD\xF4\x8F\xBF\xBF//"}},
        {"nothing at all", "", {}},
        {"a submitter named twice",
         "submission_1:\n  :submitters:\n  - :name: A\n    :sid: '1'\n"
         "  - :name: A\n    :sid: '1'\n",
         {"submission_1: A/1/ A/1/"}},
    };
    for (const Case& test : cases) {
        CAPTURE(test.what);
        std::vector<std::string> found;
        for (const MetadataSubmission& submission : read_gradescope_metadata(test.yaml)) {
            std::string line = submission.key + ":";
            for (const Submitter& submitter : submission.submitters) {
                line += " " + submitter.name + "/" + submitter.sid + "/" + submitter.email;
            }
            found.push_back(line);
        }
        CHECK(found == test.submitters);
    }
}

TEST_CASE("Blackboard's receipt: the name, the username, each file's original name")
{
    const Receipt read = read_blackboard_receipt(
        receipt("Ana (Anči) Čeh (a.ceh)", {"twodigits.cpp", "Z_a_attempt_x_twodigits.cpp"}) +
        "Name: Not Read (no)\n\tOriginal filename: lost.cpp\n");
    CHECK(read.name == "Ana (Anči) Čeh");
    CHECK(read.username == "a.ceh");
    REQUIRE(read.files.size() == 1);
    CHECK(read.files[0].first == "Z_a_attempt_x_twodigits.cpp");
    CHECK(read.files[0].second == "twodigits.cpp");
    CHECK(read_blackboard_receipt("Name: Ana Čeh").username.empty());
    CHECK(read_blackboard_receipt("Name: Ana Čeh").name == "Ana Čeh");
}

TEST_CASE("the platforms' names: where the name ends and the file begins")
{
    struct Case {
        std::string entry;
        std::string read; // name|late|user|attachment|file, or "" where none
    };
    const std::vector<Case> canvas{
        {"čehana_1001_5001_twodigits.cpp", "čehana||1001|5001|twodigits.cpp"},
        {"šimićivan_late_1002_5003_a_b_1_2.cpp", "šimićivan|late|1002|5003|a_b_1_2.cpp"},
        {"ana_b_12_34_x.cpp", "ana_b||12|34|x.cpp"},
        {"ana_12_34_", ""},
        {"_12_34_x.cpp", ""},
        {"ana_1x_34_x.cpp", ""},
        {"Ivo Ivić_1002_assignsubmission_file_twodigits.cpp", ""},
    };
    for (const Case& test : canvas) {
        CAPTURE(test.entry);
        const auto name = canvas_name(test.entry);
        CHECK((name ? name->name + "|" + (name->late ? "late" : "") + "|" + name->user + "|" +
                          name->attachment + "|" + name->file
                    : "") == test.read);
    }
    const std::vector<Case> blackboard{
        {"Zadaca 1_aceh_attempt_2024-03-01-10-00-00_a.cpp",
         "Zadaca 1_aceh|2024-03-01-10-00-00|a.cpp"},
        {"Zadaca 1_aceh_attempt_2024-03-01-10-00-00.txt", "Zadaca 1_aceh|2024-03-01-10-00-00|"},
        {"Z_a_attempt_2024-03-01-10-00-0_a.cpp", ""},
        {"Z_a_attempt_2024-03-01-10-00-00", ""},
        {"Z_a_attempt_2024-03-01-10-00-00.txt.zip", ""},
        {"_attempt_2024-03-01-10-00-00_a.cpp", ""},
    };
    for (const Case& test : blackboard) {
        CAPTURE(test.entry);
        const auto name = blackboard_name(test.entry);
        CHECK((name ? name->prefix + "|" + name->date + "|" + name->file : "") == test.read);
    }
    CHECK(drive_name("Ana Čeh - Zadatak - 1.cpp")->second == "Zadatak - 1.cpp");
    CHECK_FALSE(drive_name(" - x.cpp"));
    CHECK_FALSE(drive_name("Ana -x.cpp"));
}

TEST_CASE("one folder at the top is unwrapped only where it holds a class")
{
    struct Case {
        std::string folder;
        std::vector<DownloadEntry> inside;
        bool wrapper;
    };
    const std::vector<std::string> own{"digit-exercises", "calculators", "greeting-programs"};
    const std::vector<Case> cases{
        {"assignment_123_export", {folder("submission_1")}, true},
        {"assignment_123_export", {}, true},
        {"assignment_x_export", {folder("a")}, false},
        {"Zadaca 1", {file("Ana Čeh - a.cpp"), file("Ivan - b.cpp")}, true},
        {"submissions", {file("čehana_1_2_a.cpp")}, true},
        {"class", {folder("alice"), file("bob.zip"), file(".DS_Store")}, true},
        {"class",
         {folder("Ana_1_assignsubmission_file_"), folder("Ivo_2_assignsubmission_file_")},
         true},
        {"ana", {folder("digit-exercises"), folder("calculators")}, false},
        {"ana", {file("twodigits.cpp"), folder("v1"), folder("v2")}, false},
        {"ana", {folder("projekt")}, false},
        {"ana", {file("a.txt"), file("b.txt")}, false},
    };
    for (const Case& test : cases) {
        CAPTURE(test.folder);
        CAPTURE(test.inside.size());
        CHECK(is_wrapper(test.folder, test.inside, own) == test.wrapper);
    }
}

// A check of 500 people takes an hour or more; finding them must take a sliver of it, even in an
// unoptimised build on a loaded machine (optimised and alone it takes a few hundredths of a
// second).
TEST_CASE("the people of a 500-person download are found within two seconds")
{
    std::vector<DownloadEntry> canvas;
    std::vector<DownloadEntry> blackboard;
    std::vector<DownloadEntry> drive;
    std::string yaml;
    std::vector<DownloadEntry> gradescope{file("submission_metadata.yml")};
    for (int i = 0; i < 500; ++i) {
        const std::string n = std::to_string(i);
        for (const char* program : {"twodigits.cpp", "circle.cpp", "twodigits-1.cpp"}) {
            canvas.push_back(file("čehana" + n + "_" + n + "_" + n + "0_" + program));
            drive.push_back(file("Ana Čeh " + n + " - " + program));
        }
        for (const char* date : {"2024-03-01-10-00-00", "2024-03-02-10-00-00"}) {
            const std::string prefix = "Zadaca 1_u" + n + "_attempt_" + date;
            blackboard.push_back(file(
                prefix + ".txt", receipt("Ana Čeh (u" + n + ")", {"a.cpp", prefix + "_a.cpp"})));
            blackboard.push_back(file(prefix + "_a.cpp"));
        }
        yaml += "submission_" + n + ":\n  :submitters:\n  - :name: Ana Čeh\n    :sid: '" + n +
                "'\n  :created_at: 2024-03-01\n";
        gradescope.push_back(folder("submission_" + n));
    }
    gradescope.front().text = yaml;
    for (const auto& top : {canvas, blackboard, drive, gradescope}) {
        const auto start = std::chrono::steady_clock::now();
        const Download download = read_download(top, programs);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        MESSAGE(platform_text(download.platform) << ": " << took.count() << " s");
        CHECK(download.people.size() == 500);
        CHECK(took.count() < 2.0);
    }
}
