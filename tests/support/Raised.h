#pragma once

#include <QString>
#include <functional>

// The message of the QuilbaError the call raises; empty when it raises none.
QString raised(const std::function<void()>& call);
