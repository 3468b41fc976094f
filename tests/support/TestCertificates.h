#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Certificates made for one run with openssl, in a temporary folder: a test certification
// authority (ca.pem), a certificate it signed for 127.0.0.1 (good.pem, good.key), one it signed for
// another host (wronghost), and a self-signed one for 127.0.0.1 (selfsigned). The program trusts
// the authority when SSL_CERT_FILE names ca.pem.
class TestCertificates final
{
public:
    TestCertificates();

    bool ok() const { return m_ok; }
    const QString& error() const { return m_error; }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    // The options of quilba-platform that serve HTTPS with the certificate `name` ("good", …).
    QStringList platformoptions(const QString& name = QStringLiteral("good")) const;

private:
    bool signed_(const QString& name, const QString& cn, const QString& san);
    bool openssl(const QStringList& arguments);

    QTemporaryDir m_dir;
    bool m_ok = false;
    QString m_error;
};
