// A course platform's names for the entries of its download.
#include "platform_names.h"

#include <doctest/doctest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace check;

} // namespace

TEST_CASE("a course platform's entry names: who, their number, what kind")
{
    struct Example {
        std::string entry;
        std::optional<PlatformName> name;
    };
    const std::vector<Example> examples{
        {"Ana Marić_1001_assignsubmission_file_", PlatformName{"Ana Marić", "1001", "file", ""}},
        {"Ana Marić_1001_assignsubmission_onlinetext_",
         PlatformName{"Ana Marić", "1001", "onlinetext", ""}},
        {"Luka Horvat_77_assignsubmission_file_two_digits_v2.cpp",
         PlatformName{"Luka Horvat", "77", "file", "two_digits_v2.cpp"}},
        {"Participant_5512_assignsubmission_file_",
         PlatformName{"Participant", "5512", "file", ""}},
        {"Ana Marić", std::nullopt},
        {"Ana_x1_assignsubmission_file_", std::nullopt},
        {"_1001_assignsubmission_file_", std::nullopt},
        {"Ana__assignsubmission_file_", std::nullopt},
        {"Ana_1001_assignsubmission_", std::nullopt},
        {"1001_assignsubmission_file_", std::nullopt},
    };
    for (const Example& example : examples) {
        CAPTURE(example.entry);
        const std::optional<PlatformName> name = platform_name(example.entry);
        REQUIRE(name.has_value() == example.name.has_value());
        if (name) {
            CHECK(name->name == example.name->name);
            CHECK(name->id == example.name->id);
            CHECK(name->kind == example.name->kind);
            CHECK(name->file == example.name->file);
        }
    }
}
