#pragma once

#include <QString>

#include <memory>

// An ini file of the usual form: sections in square brackets, one "key=value" line per key.
// Section and key names compare without regard to case; the order of sections and keys and the
// comments of the file are kept when it is written back. The file is UTF-8; a file that is not
// valid UTF-8 is read as Windows-1252. Values keep every character: a value with blanks at either
// end, or one that begins and ends with a double quote, is written inside a pair of double
// quotes, and one pair of enclosing double quotes is dropped on reading. Line breaks cannot be
// stored and are written as blanks.
class IniFile final
{
public:
    explicit IniFile(QString path);
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    const QString& path() const { return m_path; }

    // Reads the file. A missing file reads as an empty one; false when the file exists but
    // cannot be read (errorstring() then tells why) and the content is left empty.
    bool load();
    // The value of a key, or fallback when the key is absent. A key present but empty is "".
    QString value(const QString& section, const QString& key, const QString& fallback = {}) const;
    bool contains(const QString& section, const QString& key) const;
    // Changes a key in memory; save() writes it.
    void setvalue(const QString& section, const QString& key, const QString& value);
    // Replaces the file as a whole, safely: either the new content or the old one is there. A
    // symbolic link in the file's place is refused. errorstring() tells why in French.
    bool save();

    const QString& errorstring() const { return m_error; }

    // The rules of the value text, exposed for the tests.
    static QString encodevalue(const QString& value);
    static QString decodevalue(const QString& stored);
    // Windows-1252 bytes to text (bytes without a character map to the code point of the same
    // value, as the system does).
    static QString fromwindows1252(const QByteArray& bytes);

private:
    struct Document;

    QString m_path;
    QString m_error;
    std::unique_ptr<Document> m_document;
};
