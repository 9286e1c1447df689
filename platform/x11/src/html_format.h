#pragma once
// "HTML Format", the clipboard's HTML with a header of offsets, and the
// plain HTML that X11 clients exchange as text/html.
#include <string>

namespace platform::x11::detail {
// The header around the producer's HTML; a fragment marked with
// <!--StartFragment--> and <!--EndFragment--> stays the fragment, else the
// body's content is, else the whole text.
std::string BuildHtmlFormat(const std::string& html);
// The document the header points at; for a block whose header does not
// hold, everything from the first '<' on.
std::string HtmlFromHtmlFormat(const std::string& htmlFormat);
}  // namespace platform::x11::detail
