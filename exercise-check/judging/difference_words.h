// Says in words what differs between a program's output and the expected one, and what to write
// instead: read from the two texts alone, so that it holds whatever the program's fault.
#pragma once

#include "compare.h"

#include <string>
#include <string_view>

namespace check {

// What differs, in one line: where, and what to write instead. `line 1: write a blank after
// "Broj:"`, `line 2: write "Lijeva", not "Ljeva"`, `lines 4 to 6 are missing: ...`. Read from
// the two texts alone, so it holds whatever the program's fault; of a difference it cannot name
// it says only where, as where() does. The difference is where the texts first differ.
std::string in_words(std::string_view expected, std::string_view actual,
                     const Difference& difference);

// When the output says a line or a prompt of the expected text over and over, far more often
// than the expected text does (numbers aside: "visinu 1." is "visinu 7."): that, in one line,
// as `line 1: it asks "Molim, unesite broj:" again and again (...): its loop never ends; ...`.
// Empty otherwise.
std::string endless_repetition(std::string_view expected, std::string_view actual);

// What a program wrote to standard error, which stays empty, in one line: `it writes "gotovo"
// to standard error, which should stay empty: ...`, of its first line.
std::string standard_error_in_words(std::string_view standard_error);

} // namespace check
