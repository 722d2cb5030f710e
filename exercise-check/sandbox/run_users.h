// The user ids a root checker's runs take: a block of its own for the check, one id for each
// folder it shares with the sandbox, so that no run reaches another's processes or files.
#pragma once

#include "run.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <sys/types.h>

namespace check {

// A block of ids that may be a check's own: none of them an account's or a group's, in no
// range of /etc/subuid or /etc/subgid, and the user of no process.
struct UserBlock {
    uid_t first = 0;
    std::uint32_t size = 0;
    bool contains(uid_t id) const { return size > 0 && id >= first && id - first < size; }
};

// The candidates, in the order they are tried.
constexpr uid_t first_block_id = 0x40000000;
constexpr std::uint32_t block_size = 65536;
constexpr int block_count = 256;

// Whether the block is free of every account, group, subordinate range and process the system
// has now (passwd, group, subuid and subgid as text; the processes' users).
bool block_is_free(const UserBlock& block, const std::string& passwd, const std::string& group,
                   const std::string& subuid, const std::string& subgid,
                   const std::vector<uid_t>& process_users);

// The check's block, claimed on first use for as long as the checker runs (a lock that ends
// with it, so that two checks at once never share one), or none when the checker is not root or
// no block is free: then every run is the unprivileged user, as before.
std::optional<UserBlock> check_users();

// The next id of the check's block for a folder of its own; the unprivileged user without one.
uid_t new_run_user();

// Who a run with this sandbox is, as root: the owner of its writable folder, else of the first
// folder it may read (or whose file it may: its program's) that an id of the check's block owns;
// else the block's first id (the unprivileged user without a block).
uid_t run_user_of(const Sandbox& sandbox);

} // namespace check
