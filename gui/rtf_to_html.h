#pragma once
// A small reader for the rich text of the help documents: groups, paragraphs and line breaks,
// bold, italic, underline, font sizes, tabs, \'hh (Windows-1252) and \uN characters. Destinations
// such as the font and colour tables are skipped; unknown control words are ignored.

#include <string>
#include <string_view>

namespace zephrane {

// The document as HTML for a rich-text view.
std::string RtfToHtml(std::string_view rtf);

}  // namespace zephrane
