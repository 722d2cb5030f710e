// The page's pieces: text and attribute values are escaped, whatever they hold.
#include "html.h"

#include <doctest/doctest.h>

using namespace check;

TEST_CASE("an element escapes its text and its attribute values")
{
    const std::string attack = "\"><script>alert('x')</script>";
    CHECK(html::element("p", attack).str() ==
          "<p>&quot;&gt;&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;</p>");
    CHECK(html::element("a", {{"href", "#" + attack}, {"title", "a & b"}}, "x").str() ==
          "<a href=\"#&quot;&gt;&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;\" "
          "title=\"a &amp; b\">x</a>");
    // Elements nest, and only what this program writes is markup.
    const html::Markup nested =
        html::element("div", {{"class", "box"}}, html::element("code", "<b>") + html::text("&"));
    CHECK(nested.str() == "<div class=\"box\"><code>&lt;b&gt;</code>&amp;</div>");
    CHECK(html::element("pre", "\033[2J\xff").str() == "<pre>\xEF\xBF\xBD[2J\xEF\xBF\xBD</pre>");
}
