#include "Raised.h"

#include "api/QuilbaError.h"

QString raised(const std::function<void()>& call)
{
    try {
        call();
    } catch (const QuilbaError& e) {
        return e.message();
    }
    return QString();
}
