#pragma once

#include <QString>

// What a message box shows of a text: never more than fits on a screen. A reply of the platform
// or of a proxy may be a whole web page; the box shows its words, not its markup, and only the
// beginning of a long text. Whoever keeps the exchange (the reply buffer, the log file) keeps it
// whole.
namespace MessageText {

// At most this many lines, this many characters, and no word longer than maxword characters.
constexpr int maxlines = 10;
constexpr int maxcharacters = 600;
constexpr int maxword = 100;

// The text as a box shows it. A text that looks like markup ("</", "<!") loses its tags, its
// style sheets, scripts and comments, its character references and its blank lines. Past the
// limits the rest is left out and "…" says so. A short plain text comes back unchanged.
QString bounded(const QString& text);

} // namespace MessageText
