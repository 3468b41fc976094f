#include "BenchPlatform.h"
#include "LocalPlatform.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"

#include "app/Program.h"
#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "platform/Clock.h"
#include "settings/Switches.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>

namespace {

// The resident memory of this process, in KiB, from /proc/self/status.
long residentkib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// The bytes of the heap in use, in KiB: what the run holds, apart from the memory the allocator
// keeps for later.
long heapkib()
{
    return static_cast<long>(mallinfo2().uordblks / 1024);
}

} // namespace

// The whole program against the local platform: lookups of two members in turn (the member with
// 500 events first), then sales on the member shown, each followed by the lookup it triggers. Prints
// the growth of the resident memory (VmRSS) from the first lookup to the end of the run, and that
// of the heap in use.
// Usage: quilba-bench-memoire [lookups [sales]] (1000 and 200 by default).
int main(int argc, char** argv)
{
    const int lookups = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int sales = argc > 2 ? std::atoi(argv[2]) : 200;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Program::prepareapplication();
    buildtree();
    LocalPlatform platform;
    QTemporaryDir work;
    if (!prepareplatform(platform, work))
        return 1;
    ScriptedDialogs dialogs;
    RecordingShell shell;
    SystemClock clock;
    long first = -1;
    long last = -1;
    long firstheap = -1;
    long lastheap = -1;
    {
        Program program(Switches({QStringLiteral("quilba")}), dialogs, shell, clock);
        CounterWindow& window = program.counterwindow();
        // The member with 500 events first: growth is measured from the lookup of the largest reply.
        const QString cards[] = {QStringLiteral("1010006"), QStringLiteral("1010001")};
        for (int n = 0; n < lookups; ++n) {
            window.search()->setText(cards[n % 2]);
            window.btsearchClick();
            QCoreApplication::processEvents();
            if (n == 0) {
                first = residentkib();
                firstheap = heapkib();
            }
        }
        for (int n = 0; n < sales; ++n) {
            window.addpoint()->setText(QStringLiteral("1,50"));
            window.btnadd()->click();
            QCoreApplication::processEvents();
        }
        last = residentkib();
        lastheap = heapkib();
        if (!dialogs.texts().isEmpty() || window.state().idle()) {
            std::fprintf(stderr, "Le comptoir a signalé : %s\n", qPrintable(dialogs.texts().join(u'|')));
            return 1;
        }
    }
    const double growth = static_cast<double>(last - first) / 1024;
    std::printf("Mémoire après %d recherches et %d ventes : %+.2f MiB depuis la première recherche "
                "(objectif ≤ 2 MiB) %s ; résidente %.1f puis %.1f MiB, tas utilisé %+.2f MiB\n",
                lookups, sales, growth, growth <= 2 ? "atteint" : "non atteint",
                static_cast<double>(first) / 1024, static_cast<double>(last) / 1024,
                static_cast<double>(lastheap - firstheap) / 1024);
    return 0;
}
