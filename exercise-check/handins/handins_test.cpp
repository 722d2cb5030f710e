// A class's hand-ins: each person found, named, and the folder that holds the sources.
#include "handins.h"
#include "known_test.h"
#include "sources.h"
#include "test_folders.h"

#include <doctest/doctest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace check;

using namespace check::test;

} // namespace

TEST_CASE("every folder and zip of a class is a person, named as it is")
{
    const Scratch scratch;
    const fs::path folder = scratch.path / "class";
    const fs::path work = scratch.path / "work";
    touch(folder / "Ana Marić" / "twodigits.cpp");
    touch(folder / "bob" / "wrapper" / "deeper" / "circle.cpp");
    fs::create_directories(folder / "Empty Hand-in");
    touch(folder / "grades.txt", "not a person");
    touch(folder / ".DS_Store", "junk");
    touch(folder / "__MACOSX" / "._bob", "junk");
    write_zip(folder / "Émile Zola.ZIP",
              {{"Émile Zola/twodigits.cpp", AE_IFREG, "int main() {}\n", ""},
               {"__MACOSX/Émile Zola/._twodigits.cpp", AE_IFREG, "junk", ""},
               {"../outside.cpp", AE_IFREG, "x", ""}});
    write_zip(folder / "bob.zip", {{"twodigits.cpp", AE_IFREG, "int main() {}\n", ""}});
    write_zip(folder / "zoe.zip", {{"bomb", AE_IFREG, std::string(65 * 1024 * 1024, '\0'), ""}});

    const ClassFound found = read_class(folder, work, known());
    const std::vector<Person>& people = found.people;
    // What is no one's is named, each entry once, with why.
    std::vector<std::string> unread;
    for (const LeftUnread& entry : found.not_read) {
        unread.push_back(entry.path.substr(folder.string().size() + 1) + ": " + entry.why);
    }
    CHECK(unread == std::vector<std::string>{
                        ".DS_Store: what platforms and file managers add",
                        "__MACOSX: what platforms and file managers add",
                        "grades.txt: a loose file beside the people's folders and archives: no "
                        "one's hand-in"});
    std::vector<std::string> names;
    for (const Person& person : people) {
        names.push_back(person.name);
    }
    CHECK(names == std::vector<std::string>{"Ana Marić", "bob", "bob.zip", "Empty Hand-in", "zoe",
                                            "Émile Zola"});
    CHECK(people[0].folder == work / "Ana Marić");
    CHECK(people[1].folder == work / "bob" / "wrapper" / "deeper");
    CHECK(people[2].folder == work / "bob.zip");
    CHECK(people[3].note == "nothing handed in");
    CHECK(people[4].note.find("64 MiB") != std::string::npos);
    CHECK(people[4].note.find("taken as nothing handed in") != std::string::npos);
    CHECK(fs::is_empty(people[4].folder));
    CHECK(people[5].folder == work / "Émile Zola.ZIP" / "Émile Zola");
    CHECK(people[5].note.find("left out 1 entry") != std::string::npos);
    CHECK_FALSE(fs::exists(work / "outside.cpp"));

    Report report;
    report.people.push_back({"Émile Zola", people[5].folder.string(), "", {}});
    ProgramResult program;
    program.source = (people[5].folder / "twodigits.cpp").string();
    program.compiler_output = program.source + ":1:1: warning: something";
    report.people[0].programs.push_back(program);
    show_as_handed_in(report, folder, work);
    const std::string shown = (folder / "Émile Zola.ZIP" / "Émile Zola" / "twodigits.cpp").string();
    CHECK(report.people[0].programs[0].source == shown);
    CHECK(report.people[0].programs[0].compiler_output == shown + ":1:1: warning: something");
}

namespace {

// The folder as one zip archive, as a platform's "download all" gives it; each entry's name
// after prefix.
void zip_folder(const fs::path& folder, const fs::path& zip, const std::string& prefix = "")
{
    std::vector<Entry> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = prefix + entry.path().lexically_relative(folder).generic_string();
        if (entry.is_directory()) {
            entries.push_back({name + "/", AE_IFDIR, "", ""});
        } else {
            std::ifstream in(entry.path(), std::ios::binary);
            entries.push_back(
                {name, AE_IFREG, std::string(std::istreambuf_iterator<char>(in), {}), ""});
        }
    }
    write_zip(zip, entries);
}

std::string zip_bytes(const std::vector<Entry>& entries, const fs::path& scratch)
{
    const fs::path file = scratch / "bytes.zip";
    write_zip(file, entries);
    std::ifstream in(file, std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    fs::remove(file);
    return bytes;
}

} // namespace

TEST_CASE("a course platform's download, as a folder or as its zip, is one person per number")
{
    const Scratch scratch;
    const std::string title = "Programming-Exercises-123";
    const fs::path download = scratch.path / "unpacked" / title;
    const std::string source = "int main() {}\n";
    const std::string f = "_assignsubmission_file_";
    touch(download / ("Ana Marić_1001" + f) / "twodigits.cpp");
    touch(download / ("Ana Marić_1001" + f) / "circle.cpp");
    touch(download / "Ana Marić_1001_assignsubmission_onlinetext_" / "onlinetext.html", "<p>x</p>");
    touch(download / ("Luka Horvat_1002" + f + "twodigits.cpp"));
    touch(download / ("Luka Horvat_1002" + f + "circle.cpp"));
    touch(download / ("Luka Horvat_1013" + f) / "circle.cpp");
    touch(download / ("Participant_1003" + f) / "hand-in" / "twodigits.cpp");
    const std::string whole =
        zip_bytes({{"twodigits.cpp", AE_IFREG, std::string(9000, 'x'), ""}}, scratch.path);
    touch(download / ("Participant_1004" + f) / "iva.zip", whole.substr(0, whole.size() / 2));
    write_archive(download / ("Marko Babić_1005" + f) / "marko.tar.gz",
                  {{"hand-in/digit-exercises/twodigits.cpp", AE_IFREG, source, ""},
                   {"hand-in/calculators/circle.cpp", AE_IFREG, source, ""}},
                  "tar.gz");
    touch(download / "Petra Jurić_1006_assignsubmission_onlinetext_" / "onlinetext.html");
    // Čović\twodigits.cpp from Windows' own zip tool, in code page 852.
    write_zip(download / ("Đuro Šimić_1007" + f) / "djuro.zip", {{"\xAC"
                                                                  "ovi\x86\\twodigits.cpp",
                                                                  AE_IFREG, source, ""}});
    const std::string inner =
        zip_bytes({{"twodigits.cpp", AE_IFREG, source, ""},
                   {"deepest.zip", AE_IFREG,
                    zip_bytes({{"circle.cpp", AE_IFREG, source, ""}}, scratch.path), ""}},
                  scratch.path);
    write_zip(download / ("Ivan Perić_1008" + f) / "outer.zip",
              {{"inner.zip", AE_IFREG, inner, ""}});
    write_zip(download / ("Nina Kos_1009" + f) / "empty.zip", {});
    write_zip(
        download / ("Sara Vuk_1010" + f) / "mac.zip",
        {{"__MACOSX/._twodigits.cpp", AE_IFREG, "junk", ""}, {".DS_Store", AE_IFREG, "junk", ""}});
    fs::create_directories(download / ("Tin Lovrić_1011" + f));

    struct Expected {
        std::string name;
        std::string id;
        std::string folder; // under work
        std::string note;   // a part of it; empty: no note
    };
    const std::vector<Expected> expected{
        {"Ana Marić", "1001", "Ana Marić_1001" + f, ""},
        {"Ivan Perić", "1008", "Ivan Perić_1008" + f + "/outer.zip/inner.zip",
         "outer.zip/inner.zip/deepest.zip not unpacked"},
        {"Luka Horvat 1002", "1002", "Luka Horvat_1002" + f, ""},
        {"Luka Horvat 1013", "1013", "Luka Horvat_1013" + f, ""},
        {"Marko Babić", "1005", "Marko Babić_1005" + f + "/marko.tar.gz/hand-in",
         "sources found in Marko Babić_1005" + f + "/marko.tar.gz/hand-in"},
        {"Nina Kos", "1009", "Nina Kos_1009" + f, "empty.zip is empty"},
        {"Participant 1003", "1003", "Participant_1003" + f + "/hand-in", ""},
        {"Participant 1004", "1004", "Participant_1004" + f, "iva.zip could not be read: "},
        {"Petra Jurić", "1006", "Petra Jurić_1006_assignsubmission_onlinetext_",
         "only text typed into the platform's form"},
        {"Sara Vuk", "1010", "Sara Vuk_1010" + f, "mac.zip holds nothing but"},
        {"Tin Lovrić", "1011", "Tin Lovrić_1011" + f, "nothing handed in"},
        {"Đuro Šimić", "1007", "Đuro Šimić_1007" + f + "/djuro.zip/Čović", "djuro.zip/Čović"},
    };

    // As the platform gives it, and as a teacher's tools may wrap it in a folder of its name.
    zip_folder(download, scratch.path / (title + ".zip"));
    zip_folder(download, scratch.path / "wrapped.zip", title + "/");
    const std::vector<std::pair<fs::path, std::string>> forms{
        {download, ""},
        {scratch.path / (title + ".zip"), ""},
        {scratch.path / "unpacked", title},
        {scratch.path / "wrapped.zip", title},
        {scratch.path / "link.zip", ""},
    };
    fs::create_symlink(scratch.path / (title + ".zip"), scratch.path / "link.zip");
    for (const auto& form : forms) {
        const fs::path& given = form.first;
        CAPTURE(given);
        const fs::path work = scratch.path / ("work-" + given.filename().string());
        const std::vector<Person> people = find_class(given, work / "hand-ins", known());
        REQUIRE(people.size() == expected.size());
        for (std::size_t index = 0; index < expected.size(); ++index) {
            const Expected& one = expected[index];
            const Person& person = people[index];
            CAPTURE(one.name);
            CHECK(person.name == one.name);
            CHECK(person.id == one.id);
            CHECK(person.folder.lexically_relative(work / "hand-ins" / form.second)
                      .generic_string() == one.folder);
            if (one.note.empty()) {
                CHECK(person.note.empty());
            } else {
                CHECK(person.note.find(one.note) != std::string::npos);
            }
        }
        CHECK(files_under(people[2].folder) == "circle.cpp twodigits.cpp");

        Report report;
        report.people.push_back({"Ana Marić", people[0].folder.string(), "", {}});
        show_as_handed_in(report, given, work / "hand-ins");
        CHECK(report.people[0].folder ==
              (given / form.second / ("Ana Marić_1001" + f)).lexically_normal().string());
    }
}

TEST_CASE(
    "a platform's download names what is no one's, earlier uploads among it, and who was late")
{
    const Scratch scratch;
    const fs::path download = scratch.path / "submissions";
    touch(download / "čehana_late_1001_5001_twodigits.cpp", "int main() {}\n");
    touch(download / "čehana_late_1001_5007_twodigits-1.cpp", "int main() { return 0; }\n");
    touch(download / "horvatmarko_1002_5003_circle.cpp", "int main() {}\n");
    touch(download / "grades.csv", "not a hand-in");
    const ClassFound found = read_class(download, scratch.path / "work", known());
    REQUIRE(found.people.size() == 2);
    CHECK(found.people[1].name == "čehana");
    CHECK(found.people[1].late == std::optional<bool>(true));
    CHECK(found.people[0].late == std::optional<bool>(false));
    std::vector<std::string> unread;
    for (const LeftUnread& entry : found.not_read) {
        unread.push_back(fs::path(entry.path).lexically_relative(download).generic_string() + ": " +
                         entry.why);
    }
    CHECK(unread == std::vector<std::string>{
                        "grades.csv: not named <name>_<user id>_<attachment id>_<file>, as "
                        "Canvas names a hand-in's file",
                        "čehana_late_1001_5001_twodigits.cpp: an earlier upload or attempt of "
                        "čehana's: the latest is checked"});

    // A class of folders says nothing of late work: its platform does not mark it.
    touch(scratch.path / "class" / "ana" / "twodigits.cpp");
    const ClassFound folders = read_class(scratch.path / "class", scratch.path / "work2", known());
    REQUIRE(folders.people.size() == 1);
    CHECK_FALSE(folders.people[0].late.has_value());
    CHECK(folders.not_read.empty());
}

TEST_CASE("a class wrapped in folders is found, and a person who holds several hand-ins stops it")
{
    const Scratch scratch;
    for (const char* person : {"ana", "bob"}) {
        touch(scratch.path / "wrapped" / "course" / "2026" / person / "twodigits.cpp");
        touch(scratch.path / "wrapped" / "course" / "2026" / person / "circle.cpp");
    }
    const std::vector<Person> people =
        find_class(scratch.path / "wrapped", scratch.path / "work", known());
    REQUIRE(people.size() == 2);
    CHECK(people[0].name == "ana");
    CHECK(people[1].name == "bob");

    // A person's folder that holds three people's hand-ins is never graded as one person's.
    touch(scratch.path / "class" / "dora" / "twodigits.cpp");
    for (const char* person : {"ana", "bob", "cid"}) {
        touch(scratch.path / "class" / "group" / person / "twodigits.cpp");
        touch(scratch.path / "class" / "group" / person / "circle.cpp");
    }
    CHECK_THROWS_WITH_AS(find_class(scratch.path / "class", scratch.path / "work2", known()),
                         doctest::Contains("group holds the hand-ins of 3 people (ana, bob, ...)"),
                         std::runtime_error);
}
