#include "Settings.h"

#include "settings/IniFile.h"

namespace {

const QString kconnexion = QStringLiteral("connexion");
const QString kpharmacie = QStringLiteral("pharmacie");

} // namespace

Settings::Settings() : m_strurl(defaulturl()) {}

Settings::Settings(const QString& applicationdata) : Settings()
{
    setapplicationdata(applicationdata);
}

void Settings::setapplicationdata(const QString& folder)
{
    m_strapplicationdata = folder;
    if (!m_strapplicationdata.isEmpty() && !m_strapplicationdata.endsWith(u'/'))
        m_strapplicationdata += u'/';
}

QString Settings::inipath() const
{
    return m_strapplicationdata + QStringLiteral("quilba.ini");
}

QString Settings::defaulturl()
{
    return QStringLiteral("https://api.quilba.fr/apiv1/webapi.do");
}

QString Settings::defaulturlupdate()
{
    return QStringLiteral("http://maj.quilba.fr/updatequilba");
}

QString Settings::urlupdate() const
{
    const QString url = qEnvironmentVariable("QUILBA_UPDATE_URL");
    return url.isEmpty() ? defaulturlupdate() : url;
}

QStringList Settings::getpharmacie() const
{
    return {m_strlibellepharma, m_stradrpharma, m_stradr2pharma, m_strcppharma, m_strvillepharma};
}

Settings::Values Settings::values() const
{
    return {m_strapikey,        m_strlogin,     m_strpassword,   m_stridpharma, m_strurl,
            m_strlibellepharma, m_stradrpharma, m_stradr2pharma, m_strcppharma, m_strvillepharma};
}

bool Settings::complete() const
{
    return !m_strapikey.isEmpty() && !m_strlogin.isEmpty() && !m_strpassword.isEmpty() &&
           !m_stridpharma.isEmpty();
}

bool Settings::cancelallowed() const
{
    return complete() && !m_strurl.isEmpty();
}

void Settings::hold(const Values& values)
{
    m_strapikey = values.apikey;
    m_strlogin = values.login;
    m_strpassword = values.password;
    m_stridpharma = values.idpharma;
    m_strurl = values.url;
    m_strlibellepharma = values.libellepharma;
    m_stradrpharma = values.adrpharma;
    m_stradr2pharma = values.adr2pharma;
    m_strcppharma = values.cppharma;
    m_strvillepharma = values.villepharma;
}

bool Settings::read()
{
    IniFile ini(inipath());
    const bool ok = ini.load();
    m_error = ini.errorstring();
    Values values;
    values.apikey = ini.value(kconnexion, QStringLiteral("APIKEY"));
    values.login = ini.value(kconnexion, QStringLiteral("LOGIN"));
    values.password = ini.value(kconnexion, QStringLiteral("PWD"));
    values.idpharma = ini.value(kconnexion, QStringLiteral("IDPHARMA"));
    values.url = ini.value(kconnexion, QStringLiteral("URL"), defaulturl());
    values.libellepharma = ini.value(kpharmacie, QStringLiteral("libelle"));
    values.adrpharma = ini.value(kpharmacie, QStringLiteral("adresse"));
    values.adr2pharma = ini.value(kpharmacie, QStringLiteral("adresse2"));
    values.cppharma = ini.value(kpharmacie, QStringLiteral("cp"));
    values.villepharma = ini.value(kpharmacie, QStringLiteral("ville"));
    hold(values);
    return ok;
}

bool Settings::write(const Values& given)
{
    // A value is held as the file gives it back (a line break cannot be stored), so that this run
    // and the next one send the same credentials.
    Values values = given;
    for (QString* value : {&values.apikey, &values.login, &values.password, &values.idpharma, &values.url,
                           &values.libellepharma, &values.adrpharma, &values.adr2pharma, &values.cppharma,
                           &values.villepharma})
        *value = IniFile::decodevalue(IniFile::encodevalue(*value));
    hold(values);
    // The file is read again first so that whatever else it holds (comments, other keys) is
    // kept; a file that exists but cannot be read is not overwritten.
    IniFile ini(inipath());
    if (!ini.load()) {
        m_error = ini.errorstring();
        return false;
    }
    ini.setvalue(kconnexion, QStringLiteral("APIKEY"), values.apikey);
    ini.setvalue(kconnexion, QStringLiteral("LOGIN"), values.login);
    ini.setvalue(kconnexion, QStringLiteral("PWD"), values.password);
    ini.setvalue(kconnexion, QStringLiteral("IDPHARMA"), values.idpharma);
    ini.setvalue(kconnexion, QStringLiteral("URL"), values.url);
    ini.setvalue(kpharmacie, QStringLiteral("libelle"), values.libellepharma);
    ini.setvalue(kpharmacie, QStringLiteral("adresse"), values.adrpharma);
    ini.setvalue(kpharmacie, QStringLiteral("adresse2"), values.adr2pharma);
    ini.setvalue(kpharmacie, QStringLiteral("cp"), values.cppharma);
    ini.setvalue(kpharmacie, QStringLiteral("ville"), values.villepharma);
    const bool ok = ini.save();
    m_error = ini.errorstring();
    return ok;
}

QByteArray Settings::authorizationvalue() const
{
    const QString joined = m_strapikey + u';' + m_strlogin + u':' + m_strpassword;
    QByteArray bytes;
    bytes.reserve(joined.size());
    // One byte per character: a character beyond U+00FF (a surrogate pair counting as one)
    // gives "?".
    for (const char32_t c : joined.toUcs4())
        bytes.append(c <= 0xFF ? static_cast<char>(c) : '?');
    return QByteArrayLiteral("Basic ") + bytes.toBase64();
}

HttpHeaders Settings::authorizationheaders() const
{
    return {{QByteArrayLiteral("Authorization"), authorizationvalue()}};
}
