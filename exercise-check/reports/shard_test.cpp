// Shards: what --shard accepts, and that every person falls in exactly one shard, the same one on
// every machine.
#include "shard.h"

#include <doctest/doctest.h>

#include <string>
#include <vector>

using namespace check;

TEST_CASE("a shard is K/N with K from 1 to N")
{
    CHECK(parse_shard("1/1")->index == 1);
    CHECK(parse_shard("3/3")->count == 3);
    CHECK(parse_shard("2/10")->index == 2);
    for (const char* wrong : {"0/3", "4/3", "1/0", "-1/3", "+1/3", "1/3 ", " 1/3", "1/", "/3", "13",
                              "1/3/3", "a/3", "99999999999999999999999/3", ""}) {
        CAPTURE(wrong);
        CHECK(!parse_shard(wrong));
    }
}

TEST_CASE("every person is in exactly one shard, the one their name alone decides")
{
    std::vector<std::string> names;
    for (int index = 0; index < 300; ++index) {
        names.push_back("Person " + std::to_string(index));
    }
    names.emplace_back("Ana Marić_1001_assignsubmission_file_");
    names.emplace_back("");
    for (const std::size_t count : {1U, 2U, 3U, 7U}) {
        std::vector<std::size_t> sizes(count, 0);
        for (const std::string& name : names) {
            std::size_t shards = 0;
            for (std::size_t index = 1; index <= count; ++index) {
                shards += in_shard(name, Shard{index, count}) ? 1 : 0;
            }
            CHECK(shards == 1);
            ++sizes.at(shard_of(name, count) - 1);
        }
        for (const std::size_t size : sizes) {
            CHECK(size > names.size() / count / 2); // no shard is left nearly empty
        }
    }
    // FNV-1a's known values: the shard does not change with the machine or the build.
    CHECK(shard_of("", 1000) == 0xcbf29ce484222325ULL % 1000 + 1);
    CHECK(shard_of("a", 1000) == 0xaf63dc4c8601ec8cULL % 1000 + 1);
}
