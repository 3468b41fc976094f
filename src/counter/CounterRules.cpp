#include "counter/CounterRules.h"

#include "platform/Clock.h"

#include <QDateTime>

QString frdate(const QString& date)
{
    return date.mid(8, 2) + u'/' + date.mid(5, 2) + u'/' + date.mid(0, 4);
}

QString nowtext(const QDateTime& now)
{
    return now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString nowtext(const Clock& clock)
{
    return nowtext(clock.now());
}

QUrl operatorpage(const QString& apiurl)
{
    const QUrl api(apiurl);
    QUrl page;
    page.setScheme(api.scheme());
    page.setHost(api.host());
    page.setPort(api.port());
    page.setPath(QStringLiteral("/loyaltyoperator/login.jsp"));
    page.setQuery(QStringLiteral("rcg=QUILBA"));
    return page;
}
