// The child of tst_keptsales, on the file it is given:
//   keptsales_child FICHIER garder   keeps sale after sale, numbered on from the sales already
//                                    there, and after each claims the oldest and releases it with
//                                    a failure; writes "gardée N" once sale N is kept; runs until
//                                    it is killed.
//   keptsales_child FICHIER envoyer  claims and settles sales as a counter sending them would,
//                                    writing "envoyée ID" for each, until none is left.
#include "KeptSalesChild.h"

#include "outbox/KeptSales.h"
#include "platform/Clock.h"

#include <QFile>

#include <cstdio>
#include <cstring>

namespace {

void tell(const KeptSales& sales)
{
    std::fprintf(stderr, "%s\n", sales.errorstring().toUtf8().constData());
}

int keep(KeptSales& sales)
{
    const std::optional<int> count = sales.count();
    if (!count) {
        tell(sales);
        return 1;
    }
    for (int number = *count + 1;;) {
        if (!sales.keep(KeptSalesChild::sale(number))) {
            tell(sales);
            continue;
        }
        std::printf("gardée %d\n", number);
        std::fflush(stdout);
        ++number;
        const KeptSales::Claimed claimed = sales.claim();
        if (claimed.status == KeptSales::Status::Done)
            sales.release(claimed.sale.id, KeptSalesChild::failure(claimed.sale.attempts + 1),
                          KeptSales::Departure::MayHaveLeft);
    }
}

int send(KeptSales& sales)
{
    for (;;) {
        const KeptSales::Claimed claimed = sales.claim();
        if (claimed.status == KeptSales::Status::Done) {
            std::printf("envoyée %lld\n", static_cast<long long>(claimed.sale.id));
            if (sales.settle(claimed.sale.id) != KeptSales::Status::Done) {
                tell(sales);
                return 1;
            }
        } else if (claimed.status == KeptSales::Status::None) {
            // What is left may wait for a sale the other counter holds.
            const std::optional<int> left = sales.count();
            if (left == 0)
                return 0;
            if (!left)
                tell(sales);
        } else {
            tell(sales);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || (std::strcmp(argv[2], "garder") != 0 && std::strcmp(argv[2], "envoyer") != 0)) {
        std::fprintf(stderr, "usage : keptsales_child FICHIER garder|envoyer\n");
        return 2;
    }
    const SystemClock clock;
    KeptSales sales(QFile::decodeName(argv[1]), clock);
    return std::strcmp(argv[2], "garder") == 0 ? keep(sales) : send(sales);
}
