// Random inputs for the stress cases, and the check of an output against a case's shape.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace check {

// Makes the same inputs for the same seed on every platform: runs of numbers, signs, blanks,
// line ends, points, commas, exponents, letters, words some libraries read as numbers, bytes
// outside ASCII and digit runs hundreds long; about one input in sixteen is empty.
class InputMaker {
  public:
    explicit InputMaker(std::uint32_t seed) : random_(seed) {}
    std::string next();

  private:
    std::uint32_t below(std::uint32_t bound)
    {
        return static_cast<std::uint32_t>(random_() % bound);
    }
    std::mt19937 random_;
};

// Whether the output has the shape: the shape's text, with <int> standing for an integer and
// <num> for a floating-point value as a stream writes it (inf, nan and -0 included).
bool matches_shape(std::string_view shape, std::string_view output);

// Whether the output's line ends follow the target's convention: with crlf, every line end is
// CRLF and no CR stands elsewhere; without, there is no CR at all.
bool line_ends_right(std::string_view output, bool crlf);

// The output with each CRLF read as LF.
std::string without_crs(std::string_view output);

} // namespace check
