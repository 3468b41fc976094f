#pragma once

#include "api/JsonValue.h"

#include <QString>

// Values out of a reply. The key names a member of the given object; a path of names joined by
// "." with "[n]" for array elements is accepted too. The "try" forms answer false when the value
// is missing or cannot be converted; the strict forms raise a QuilbaError with the French message
// ("Valeur '%s' introuvable", or the conversion message).
bool trygettext(const JsonValue& value, const QString& key, QString& out);
QString gettext(const JsonValue& value, const QString& key);
bool trygetflag(const JsonValue& value, const QString& key, bool& out);
bool getflag(const JsonValue& value, const QString& key);
double getnumber(const JsonValue& value, const QString& key);
