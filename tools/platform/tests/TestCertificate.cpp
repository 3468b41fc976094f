#include "TestCertificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

TestCertificate::TestCertificate()
{
    char pattern[] = "/tmp/quilba-platform-tls-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_dir = pattern;
    m_cert = m_dir + "/cert.pem";
    m_key = m_dir + "/key.pem";

    EVP_PKEY* key = EVP_RSA_gen(2048);
    X509* x509 = X509_new();
    ASN1_INTEGER_set(X509_get_serialNumber(x509), 1);
    X509_gmtime_adj(X509_getm_notBefore(x509), -3600);
    X509_gmtime_adj(X509_getm_notAfter(x509), 7 * 24 * 3600);
    X509_set_pubkey(x509, key);
    X509_NAME* name = X509_get_subject_name(x509);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"),
                               -1, -1, 0);
    X509_set_issuer_name(x509, name);
    X509_sign(x509, key, EVP_sha256());

    FILE* certOut = std::fopen(m_cert.c_str(), "wb");
    FILE* keyOut = std::fopen(m_key.c_str(), "wb");
    const bool written = certOut != nullptr && keyOut != nullptr && PEM_write_X509(certOut, x509) == 1 &&
                         PEM_write_PrivateKey(keyOut, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    if (certOut != nullptr)
        std::fclose(certOut);
    if (keyOut != nullptr)
        std::fclose(keyOut);
    X509_free(x509);
    EVP_PKEY_free(key);
    if (!written)
        throw std::runtime_error("cannot write the test certificate");
}

TestCertificate::~TestCertificate()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
}
