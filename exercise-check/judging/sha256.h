// SHA-256 of a string of bytes: what names kept builds and tells shards of a class that two
// sources are the same.
#pragma once

#include <string>
#include <string_view>

namespace check {

// The SHA-256 of the bytes, in lower-case hex.
std::string sha256_hex(std::string_view bytes);

} // namespace check
