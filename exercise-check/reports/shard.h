// A class split across machines: which of N shards each person belongs to, the same on every
// machine and in every run.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace check {

struct Shard {
    std::size_t index = 1; // from 1
    std::size_t count = 1;
};

// "2/3" as shard 2 of 3; nothing for anything else (0/3, 4/3, 1/0, signs, blanks, trailing text).
std::optional<Shard> parse_shard(std::string_view text);

// The shard, from 1 to count, that the name belongs to: FNV-1a of its bytes, so that it depends
// on nothing but the name.
std::size_t shard_of(std::string_view name, std::size_t count);

bool in_shard(std::string_view name, const Shard& shard);

} // namespace check
