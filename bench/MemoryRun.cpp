#include "LocalPlatform.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"

#include "app/Program.h"
#include "app/Switches.h"
#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "platform/Clock.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>
#include <cstdio>
#include <cstdlib>

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

} // namespace

// The whole program against the local platform: lookups of two members in turn (one of them with
// 500 events), then sales on the member shown, each followed by the lookup it triggers. Prints
// the resident memory after the first lookup and after the whole run.
// Usage: quilba-bench-memoire [lookups [sales]] (1000 and 200 by default).
int main(int argc, char** argv)
{
    const int lookups = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int sales = argc > 2 ? std::atoi(argv[2]) : 200;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Program::prepareapplication();
    QDir bin(QCoreApplication::applicationDirPath());
    bin.cdUp();
    if (qEnvironmentVariableIsEmpty("QUILBA_TEST_BIN"))
        qputenv("QUILBA_TEST_BIN", QFile::encodeName(bin.absolutePath()));

    LocalPlatform platform;
    QTemporaryDir work;
    if (!platform.started() || !work.isValid()) {
        std::fprintf(stderr, "La plateforme locale n'a pas démarré : %s\n", qPrintable(platform.error()));
        return 1;
    }
    platform.preparework(work.path());
    ScriptedDialogs dialogs;
    RecordingShell shell;
    SystemClock clock;
    long first = -1;
    long last = -1;
    {
        Program program(Switches({QStringLiteral("quilba")}), dialogs, shell, clock);
        CounterWindow& window = program.counterwindow();
        const QString cards[] = {QStringLiteral("1010001"), QStringLiteral("1010006")};
        for (int n = 0; n < lookups; ++n) {
            window.search()->setText(cards[n % 2]);
            window.btsearchClick();
            QCoreApplication::processEvents();
            if (n == 0)
                first = residentkib();
        }
        for (int n = 0; n < sales; ++n) {
            window.addpoint()->setText(QStringLiteral("1,50"));
            window.btnadd()->click();
            QCoreApplication::processEvents();
        }
        last = residentkib();
        if (!dialogs.texts().isEmpty() || window.state().idle()) {
            std::fprintf(stderr, "Le comptoir a signalé : %s\n", qPrintable(dialogs.texts().join(u'|')));
            return 1;
        }
    }
    std::printf("memoire-apres-premiere-recherche %ld\nmemoire-apres-tout %ld\n", first, last);
    return 0;
}
