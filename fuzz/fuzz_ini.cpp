// The settings file: any content reads (as UTF-8, or Windows-1252 when it is not UTF-8) or is
// refused with a French reason, and what the parameters window then writes into that same file
// reads back unchanged (line breaks, which a value cannot hold, become blanks).
#include "FuzzCheck.h"

#include "settings/IniFile.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <array>
#include <cstdint>

namespace {

// A value as it reads back after it was written.
QString stored(QString value)
{
    for (QChar& c : value) {
        if (c == u'\r' || c == u'\n' || c == QChar(0))
            c = u' ';
    }
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Saving syncs the file to disk: a memory file system keeps the runs fast where there is one.
    static QTemporaryDir folder(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                    ? QStringLiteral("/dev/shm/quilba-fuzz-ini-XXXXXX")
                                    : QDir::tempPath() + QStringLiteral("/quilba-fuzz-ini-XXXXXX"));
    FUZZ_CHECK(folder.isValid());
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    {
        QFile file(folder.filePath(QStringLiteral("quilba.ini")));
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(bytes) == bytes.size());
    }

    Settings settings(folder.path());
    if (!settings.read()) {
        FUZZ_CHECK(!settings.errorstring().isEmpty());
        return 0;
    }
    (void)settings.getpharmacie();
    (void)settings.authorizationvalue();

    // The values typed: the lines of the input, as they come (quotes, "=", brackets, blanks).
    std::array<QString, 10> typed;
    const QList<QByteArray> lines = bytes.split('\n');
    for (std::size_t i = 0; i < typed.size(); ++i)
        typed[i] =
            i < static_cast<std::size_t>(lines.size()) ? QString::fromUtf8(lines[qsizetype(i)]) : QString();
    const Settings::Values values{typed[0], typed[1], typed[2], typed[3], typed[4],
                                  typed[5], typed[6], typed[7], typed[8], typed[9]};
    FUZZ_CHECK(settings.write(values));

    Settings again(folder.path());
    FUZZ_CHECK(again.read());
    const Settings::Values read = again.values();
    FUZZ_CHECK(read.apikey == stored(values.apikey));
    FUZZ_CHECK(read.login == stored(values.login));
    FUZZ_CHECK(read.password == stored(values.password));
    FUZZ_CHECK(read.idpharma == stored(values.idpharma));
    FUZZ_CHECK(read.url == stored(values.url));
    FUZZ_CHECK(read.libellepharma == stored(values.libellepharma));
    FUZZ_CHECK(read.adrpharma == stored(values.adrpharma));
    FUZZ_CHECK(read.adr2pharma == stored(values.adr2pharma));
    FUZZ_CHECK(read.cppharma == stored(values.cppharma));
    FUZZ_CHECK(read.villepharma == stored(values.villepharma));
    return 0;
}
