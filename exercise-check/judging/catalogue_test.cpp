#include "catalogue.h"
#include "test_folders.h"

#include <doctest/doctest.h>

#include <filesystem>
#include <fstream>

using namespace check;
namespace fs = std::filesystem;

namespace {

// Case data in a folder of its own, holding only the catalogue given.
struct Data {
    test::Scratch scratch;
    fs::path path = scratch.path;
    explicit Data(const std::string& catalogue)
    {
        std::ofstream(path / "exercises.json", std::ios::binary) << catalogue;
    }
};

} // namespace

TEST_CASE("the catalogue lists the exercises in its own order, short names filled in")
{
    const Data data(R"({"exercises": [
        {"name": "zeta", "group": "last", "folder": "z-folder", "short": "z", "title": "Zeta"},
        {"name": "alpha-two", "group": "first"}]})");
    const std::vector<Exercise> exercises = load_catalogue(data.path);
    REQUIRE(exercises.size() == 2);
    CHECK(exercises[0].name == "zeta");
    CHECK(exercises[0].folder == "z-folder");
    CHECK(exercises[0].short_name == "z");
    CHECK(exercises[0].title == "Zeta");
    CHECK(exercises[1].name == "alpha-two");
    CHECK(exercises[1].short_name == "alph");
    CHECK(find_exercise(exercises, "alpha-two") == &exercises[1]);
    CHECK(find_exercise(exercises, "alpha") == nullptr);
}

TEST_CASE("a catalogue that cannot be right is refused in one line that names the fault")
{
    struct Bad {
        const char* catalogue;
        const char* said;
    };
    for (const Bad& bad : {
             Bad{"{\"exercises\": [", "is not {\"exercises\": [...]}"},
             Bad{"[]", "is not {\"exercises\": [...]}"},
             Bad{R"({"exercises": []})", "lists no exercise"},
             Bad{R"({"exercises": [{"group": "g"}]})", "has no \"name\""},
             Bad{R"({"exercises": [{"name": 7, "group": "g"}]})", "must be a text"},
             Bad{R"({"exercises": [{"name": "../up", "group": "g"}]})", "may hold only"},
             Bad{R"({"exercises": [{"name": "a", "group": "G/x"}]})", "may hold only"},
             Bad{R"({"exercises": [{"name": "a", "group": "g", "short": "toolong"}]})",
                 "more than four"},
             Bad{R"({"exercises": [{"name": "a", "group": "g"}, {"name": "a", "group": "h"}]})",
                 "listed twice"},
         }) {
        CAPTURE(bad.catalogue);
        const Data data(bad.catalogue);
        try {
            load_catalogue(data.path);
            FAIL("accepted");
        } catch (const std::runtime_error& error) {
            const std::string message = error.what();
            CHECK(message.find(bad.said) != std::string::npos);
            CHECK(message.find('\n') == std::string::npos);
        }
    }
    const test::Scratch scratch;
    CHECK_THROWS_WITH(load_catalogue(scratch.path / "no-such-case-data"),
                      doctest::Contains("give the folder of case data with --cases"));
}
