#include "IniFile.h"

#include "platform/SystemError.h"

#include <QFile>
#include <QStringDecoder>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    const QByteArray path = QFile::encodeName(m_path);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        // No such file, or a folder on the way that is none: nothing to read.
        if (errno == ENOENT || errno == ENOTDIR)
            return true;
        m_error = SystemError::text(errno);
        return false;
    }
    QByteArray bytes;
    char chunk[16384];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            m_error = SystemError::text(errno);
            ::close(fd);
            return false;
        }
        if (got == 0)
            break;
        bytes.append(chunk, got);
    }
    ::close(fd);
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
    // The whole content goes to a new file beside the old one, is forced to the disk, and only then
    // takes the old file's name: a full disk or any other failure on the way leaves the old file
    // whole. A link in the file's place is neither followed nor replaced: in a folder shared by a
    // group, it could point at somebody else's file.
    const QByteArray target = QFile::encodeName(m_path);
    // The file holds the account's password: whatever the umask, it is for its owner and group
    // only (the work folder is shared by the counter's group); a narrower mode is kept.
    mode_t mode = S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP;
    struct stat existing
    {
    };
    if (::lstat(target.constData(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) {
            m_error = SystemError::text(S_ISLNK(existing.st_mode) ? ELOOP : EISDIR);
            return false;
        }
        mode &= existing.st_mode;
    } else if (errno != ENOENT) {
        m_error = SystemError::text(errno);
        return false;
    }

    QByteArray temporary = target + ".XXXXXX";
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        m_error = SystemError::text(errno);
        return false;
    }
    const auto fail = [&](int error) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(temporary.constData());
        m_error = SystemError::text(error);
        return false;
    };
    if (::fchmod(fd, mode) != 0)
        return fail(errno);
    const char* next = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return fail(errno);
        if (written == 0)
            return fail(EIO);
        next += written;
        left -= static_cast<std::size_t>(written);
    }
    if (::fsync(fd) != 0)
        return fail(errno);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0)
        return fail(errno);
    // A link may have taken the file's place meanwhile: rename would replace the link itself, but
    // the user must know that the settings did not go where they are read from.
    if (::lstat(target.constData(), &existing) == 0 && S_ISLNK(existing.st_mode))
        return fail(ELOOP);
    if (::rename(temporary.constData(), target.constData()) != 0)
        return fail(errno);
    // The new name itself reaches the disk with its folder.
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    const int folderfd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderfd >= 0) {
        ::fsync(folderfd);
        ::close(folderfd);
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
