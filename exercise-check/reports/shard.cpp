// A class split across machines: which of N shards each person belongs to, the same on every
// machine and in every run.
#include "shard.h"

#include <charconv>
#include <cstdint>

namespace check {

namespace {

std::optional<std::size_t> whole_number(std::string_view text)
{
    std::size_t value = 0;
    if (text.empty() || text.front() < '0' || text.front() > '9') {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<Shard> parse_shard(std::string_view text)
{
    const auto slash = text.find('/');
    if (slash == std::string_view::npos) {
        return std::nullopt;
    }
    const auto index = whole_number(text.substr(0, slash));
    const auto count = whole_number(text.substr(slash + 1));
    if (!index || !count || *index < 1 || *index > *count) {
        return std::nullopt;
    }
    return Shard{*index, *count};
}

std::size_t shard_of(std::string_view name, std::size_t count)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char byte : name) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 0x100000001b3ULL;
    }
    return count == 0 ? 1 : static_cast<std::size_t>(hash % count) + 1;
}

bool in_shard(std::string_view name, const Shard& shard)
{
    return shard_of(name, shard.count) == shard.index;
}

} // namespace check
