#include "BenchPlatform.h"

#include "LocalPlatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

QString buildtree()
{
    QDir bin(QCoreApplication::applicationDirPath());
    bin.cdUp();
    if (qEnvironmentVariableIsEmpty("QUILBA_TEST_BIN"))
        qputenv("QUILBA_TEST_BIN", QFile::encodeName(bin.absolutePath()));
    return bin.absolutePath();
}

bool prepareplatform(const LocalPlatform& platform, const QTemporaryDir& work)
{
    if (!platform.started() || !work.isValid()) {
        std::fprintf(stderr, "La plateforme locale n'a pas démarré : %s\n", qPrintable(platform.error()));
        return false;
    }
    platform.preparework(work.path());
    return true;
}
