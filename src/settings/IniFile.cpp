#include "IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

// Values are handled as UTF-8 bytes here, so SimpleIni needs no converter of its own. Debian's
// header keeps the template bodies behind SI_IMPLEMENTATION; this is the one file that uses them.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

struct IniFile::Document
{
    Document() { reset(); }

    void reset()
    {
        // UTF-8 store, case-insensitive names, one value per key, no "<<<" multi-line values
        // and no quote handling of its own: values are exactly the text after "=".
        ini.Reset();
        ini.SetUnicode(true);
        ini.SetMultiKey(false);
        ini.SetMultiLine(false);
        ini.SetSpaces(false);
        ini.SetQuotes(false);
    }

    CSimpleIniA ini;
};

namespace {

// Windows-1252 for 0x80-0x9F; the five bytes without a character keep their own value.
constexpr char16_t kwindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool blank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isutf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    return !decoder.hasError();
}

QByteArray utf8(const QString& text)
{
    return text.toUtf8();
}

// A stored value back to text. A value that begins with U+FEFF keeps it: QString::fromUtf8 would
// take it for a byte-order mark and drop it.
QString fromutf8(const char* bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder(QByteArrayView(bytes));
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)), m_document(std::make_unique<Document>()) {}

IniFile::~IniFile() = default;

QString IniFile::fromwindows1252(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && byte <= 0x9F)
            text += QChar(kwindows1252[byte - 0x80]);
        else
            text += QChar(char16_t(byte));
    }
    return text;
}

bool IniFile::load()
{
    m_document->reset();
    m_error.clear();
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = file.errorString();
        return false;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_error = file.errorString();
        return false;
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);

    if (!isutf8(bytes))
        bytes = fromwindows1252(bytes).toUtf8();

    if (m_document->ini.LoadData(bytes.constData(), static_cast<size_t>(bytes.size())) < 0) {
        m_document->reset();
        m_error = QStringLiteral("Contenu illisible");
        return false;
    }
    return true;
}

QString IniFile::value(const QString& section, const QString& key, const QString& fallback) const
{
    const char* stored = m_document->ini.GetValue(utf8(section).constData(), utf8(key).constData());
    if (!stored)
        return fallback;
    return decodevalue(fromutf8(stored));
}

bool IniFile::contains(const QString& section, const QString& key) const
{
    return m_document->ini.GetValue(utf8(section).constData(), utf8(key).constData()) != nullptr;
}

void IniFile::setvalue(const QString& section, const QString& key, const QString& value)
{
    m_document->ini.SetValue(utf8(section).constData(), utf8(key).constData(),
                             utf8(encodevalue(value)).constData());
}

bool IniFile::save()
{
    m_error.clear();
    std::string content;
    if (m_document->ini.Save(content, false) < 0) {
        m_error = QStringLiteral("Écriture impossible");
        return false;
    }
    // The file holds the account's password: whatever the umask, it is for its owner and group
    // only (the work folder is shared by the counter's group); a narrower mode is kept.
    constexpr QFileDevice::Permissions ownerandgroup =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::WriteGroup;
    const QFileInfo existing(m_path);
    const QFileDevice::Permissions permissions =
        existing.exists() ? existing.permissions() & ownerandgroup : ownerandgroup;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(permissions)) {
        m_error = file.errorString();
        return false;
    }
    // A short write (a full disk, a file size limit) is no error to the device: it is checked
    // here, and the old file stays.
    const auto size = static_cast<qint64>(content.size());
    if (file.write(content.data(), size) != size) {
        m_error = file.error() != QFileDevice::NoError ? file.errorString()
                                                       : QStringLiteral("Écriture incomplète du fichier");
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        m_error = file.errorString();
        return false;
    }
    return true;
}

QString IniFile::encodevalue(const QString& value)
{
    QString text = value;
    for (QChar& c : text) {
        if (c == u'\r' || c == u'\n' || c == QChar(0))
            c = u' ';
    }
    if (text.isEmpty())
        return text;
    const bool blankends = blank(text.front()) || blank(text.back());
    const bool quoted = text.size() >= 2 && text.front() == u'"' && text.back() == u'"';
    if (blankends || quoted)
        return u'"' + text + u'"';
    return text;
}

QString IniFile::decodevalue(const QString& stored)
{
    if (stored.size() >= 2 && stored.front() == u'"' && stored.back() == u'"')
        return stored.mid(1, stored.size() - 2);
    return stored;
}
