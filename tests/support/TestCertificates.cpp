#include "TestCertificates.h"

#include <QFile>
#include <QProcess>

using namespace Qt::StringLiterals;

TestCertificates::TestCertificates()
{
    m_ok =
        openssl({u"req"_s, u"-x509"_s, u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s,
                 u"ec_paramgen_curve:prime256v1"_s, u"-nodes"_s, u"-days"_s, u"2"_s, u"-subj"_s,
                 u"/CN=Quilba test CA"_s, u"-keyout"_s, path(u"ca.key"_s), u"-out"_s, path(u"ca.pem"_s)}) &&
        signed_(u"good"_s, u"127.0.0.1"_s, u"IP:127.0.0.1"_s) &&
        signed_(u"wronghost"_s, u"quilba.invalid"_s, u"DNS:quilba.invalid"_s) &&
        openssl({u"req"_s, u"-x509"_s, u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s,
                 u"ec_paramgen_curve:prime256v1"_s, u"-nodes"_s, u"-days"_s, u"2"_s, u"-subj"_s,
                 u"/CN=127.0.0.1"_s, u"-addext"_s, u"subjectAltName=IP:127.0.0.1"_s, u"-keyout"_s,
                 path(u"selfsigned.key"_s), u"-out"_s, path(u"selfsigned.pem"_s)});
}

QStringList TestCertificates::platformoptions(const QString& name) const
{
    return {u"--tls-cert"_s, path(name + u".pem"_s), u"--tls-key"_s, path(name + u".key"_s)};
}

bool TestCertificates::signed_(const QString& name, const QString& cn, const QString& san)
{
    QFile extensions(path(name + u".ext"_s));
    if (!extensions.open(QIODevice::WriteOnly))
        return false;
    extensions.write(
        (u"subjectAltName="_s + san + u"\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n"_s)
            .toUtf8());
    extensions.close();
    return openssl({u"req"_s, u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s, u"ec_paramgen_curve:prime256v1"_s,
                    u"-nodes"_s, u"-subj"_s, u"/CN="_s + cn, u"-keyout"_s, path(name + u".key"_s), u"-out"_s,
                    path(name + u".csr"_s)}) &&
           openssl({u"x509"_s, u"-req"_s, u"-in"_s, path(name + u".csr"_s), u"-CA"_s, path(u"ca.pem"_s),
                    u"-CAkey"_s, path(u"ca.key"_s), u"-CAcreateserial"_s, u"-days"_s, u"2"_s, u"-extfile"_s,
                    path(name + u".ext"_s), u"-out"_s, path(name + u".pem"_s)});
}

bool TestCertificates::openssl(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(u"openssl"_s, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        m_error = u"openssl "_s + arguments.join(u' ') + u" : "_s + process.errorString() + u"\n"_s +
                  QString::fromLocal8Bit(process.readAll());
        return false;
    }
    return true;
}
