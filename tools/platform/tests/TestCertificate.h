#pragma once

#include <string>

// A self-signed certificate for 127.0.0.1 and its key, as PEM files in a temporary folder removed at the
// end.
class TestCertificate final
{
public:
    TestCertificate();
    ~TestCertificate();
    TestCertificate(const TestCertificate&) = delete;
    TestCertificate& operator=(const TestCertificate&) = delete;

    const std::string& certFile() const { return m_cert; }
    const std::string& keyFile() const { return m_key; }
    const std::string& folder() const { return m_dir; }

private:
    std::string m_dir;
    std::string m_cert;
    std::string m_key;
};
