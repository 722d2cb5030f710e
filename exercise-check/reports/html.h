// Pieces of a web page: text is always escaped, and markup is made only of elements and the
// page's own constant markup, so that nothing from a hand-in can become part of the page.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace check::html {

class Markup {
  public:
    Markup() = default;

    // Markup written in this program, never anything that came from a hand-in.
    static Markup trusted(std::string_view markup);

    Markup& operator+=(const Markup& more);
    friend Markup operator+(Markup left, const Markup& right) { return left += right; }

    const std::string& str() const { return markup_; }

  private:
    std::string markup_;
};

// Attributes by name; their values are escaped.
using Attributes = std::vector<std::pair<std::string_view, std::string>>;

// The text, escaped: valid UTF-8, no control character, & < > " ' as references.
Markup text(std::string_view text);

// <tag name="value"...>content</tag>
Markup element(std::string_view tag, const Attributes& attributes, const Markup& content = {});
Markup element(std::string_view tag, const Markup& content);
// An element that holds only text: <tag>escaped text</tag>
Markup element(std::string_view tag, std::string_view content);
Markup element(std::string_view tag, const Attributes& attributes, std::string_view content);

} // namespace check::html
