#include "html.h"

#include "text.h"

namespace check::html {

Markup Markup::trusted(std::string_view markup)
{
    Markup made;
    made.markup_ = std::string(markup);
    return made;
}

Markup& Markup::operator+=(const Markup& more)
{
    markup_ += more.markup_;
    return *this;
}

Markup text(std::string_view text)
{
    return Markup::trusted(html_escaped(text));
}

Markup element(std::string_view tag, const Attributes& attributes, const Markup& content)
{
    std::string open = "<" + std::string(tag);
    for (const auto& [name, value] : attributes) {
        open += " " + std::string(name) + "=\"" + html_escaped(value) + "\"";
    }
    return Markup::trusted(open + ">") + content + Markup::trusted("</" + std::string(tag) + ">");
}

Markup element(std::string_view tag, const Markup& content)
{
    return element(tag, Attributes{}, content);
}

Markup element(std::string_view tag, std::string_view content)
{
    return element(tag, Attributes{}, text(content));
}

Markup element(std::string_view tag, const Attributes& attributes, std::string_view content)
{
    return element(tag, attributes, text(content));
}

} // namespace check::html
