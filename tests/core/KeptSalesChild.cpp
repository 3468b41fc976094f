#include "KeptSalesChild.h"

using namespace Qt::StringLiterals;

namespace KeptSalesChild {

KeptSale sale(int number)
{
    KeptSale sale;
    sale.memberid = QString::number(1000 + number % 7);
    sale.membername = u"LEFÈVRE Élodie n°"_s + QString::number(number);
    sale.cardnumber = u"1010007"_s;
    sale.amount = QString::number(number) + u",50"_s;
    sale.seller = u"VD"_s;
    sale.number = QString::number(number);
    sale.request = R"(json_data={"AdEvent":{"type":"addCA", "member":{"id":)" + sale.memberid.toUtf8() +
                   R"(},"idExternal":")" + sale.number.toUtf8() + R"(","comment":")";
    while (sale.request.size() < 64 * 1024)
        sale.request += "é€";
    sale.request += "\"}}";
    return sale;
}

QString failure(int attempts)
{
    return u"Échec n° "_s + QString::number(attempts);
}

} // namespace KeptSalesChild
