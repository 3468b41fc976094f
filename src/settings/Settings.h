#pragma once

#include "api/HttpClient.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The account settings for the loyalty platform and the pharmacy's name and address, held for
// the whole run. They are read from "quilba.ini" in the work folder at start and written back
// when the user validates the parameters window. The getters give the held values only.
class Settings final
{
public:
    // The ten values of the settings file, in the order they are written.
    struct Values
    {
        QString apikey;
        QString login;
        QString password;
        QString idpharma;
        QString url;
        QString libellepharma;
        QString adrpharma;
        QString adr2pharma;
        QString cppharma;
        QString villepharma;
    };

    Settings();
    explicit Settings(const QString& applicationdata);

    // The work folder, ending with "/".
    void setapplicationdata(const QString& folder);
    const QString& applicationdata() const { return m_strapplicationdata; }
    QString inipath() const;

    const QString& apikey() const { return m_strapikey; }
    const QString& login() const { return m_strlogin; }
    const QString& password() const { return m_strpassword; }
    const QString& idpharma() const { return m_stridpharma; }
    const QString& url() const { return m_strurl; }
    // The update server's location; QUILBA_UPDATE_URL replaces it.
    QString urlupdate() const;
    // Name, address line 1, address line 2, postal code, town: always five texts.
    QStringList getpharmacie() const;
    Values values() const;

    // API key, login, password and pharmacy id all given: enough to start.
    bool complete() const;
    // complete() and a URL: the window may be left without validating.
    bool cancelallowed() const;

    // Reads the ten keys; absent keys take their defaults. False when the file exists but
    // cannot be read: the values are then the defaults and errorstring() tells why.
    bool read();
    // Holds the values and writes the ten keys to the file. A line break, which the file cannot
    // keep, is held as the blank the file keeps. False when the file could not be written (the
    // values are held all the same; errorstring() tells why).
    bool write(const Values& given);
    const QString& errorstring() const { return m_error; }

    // "Basic " and the Base64 of apikey ";" login ":" password, one byte per character.
    QByteArray authorizationvalue() const;
    // The custom header list of the counter client: the one Authorization header.
    HttpHeaders authorizationheaders() const;
    void setauthorization(HttpClient& client) const { client.setcustomheaders(authorizationheaders()); }

    static QString defaulturl();
    static QString defaulturlupdate();

private:
    void hold(const Values& values);

    QString m_strapikey;
    QString m_strlogin;
    QString m_strpassword;
    QString m_stridpharma;
    QString m_strurl;
    QString m_strlibellepharma;
    QString m_stradrpharma;
    QString m_stradr2pharma;
    QString m_strcppharma;
    QString m_strvillepharma;
    QString m_strapplicationdata;
    QString m_error;
};
