#pragma once

#include "LocalPlatform.h"

#include <QObject>
#include <memory>

// A test class whose every test function runs against a local platform of its own, started with
// its demo data before the function and stopped after it. Test classes derive from it: QtTest
// runs the init() and cleanup() below around each of their test functions.
class PlatformTest : public QObject
{
    Q_OBJECT

protected:
    std::unique_ptr<LocalPlatform> m_platform;

private slots:
    void init();
    void cleanup();
};
