// For the unit tests: whether this machine is expected to start sandboxes (and make cgroups).
// A test that needs one fails where none starts, unless EXERCISE_CHECK_TESTS_WITHOUT_SANDBOX=1
// says that none is expected here: then it is skipped, and reported so.
#pragma once

#include <cstdlib>
#include <cstring>

namespace check::test {

inline bool without_sandbox()
{
    const char* value = std::getenv("EXERCISE_CHECK_TESTS_WITHOUT_SANDBOX");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

} // namespace check::test
