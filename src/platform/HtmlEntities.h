#pragma once

#include <QString>

// The named character references of HTML ("&eacute;", "&laquo;", "&euro;"), as the error pages of
// servers and proxies write them.
namespace HtmlEntities {

// The character a name stands for (without "&" and ";"), or 0 when it names none.
char32_t code(const QString& name);

} // namespace HtmlEntities
