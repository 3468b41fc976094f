#include "PlatformTest.h"

#include <QTest>

void PlatformTest::init()
{
    m_platform = std::make_unique<LocalPlatform>();
    QVERIFY2(m_platform->started(), qPrintable(m_platform->error()));
}

void PlatformTest::cleanup()
{
    m_platform.reset();
}
