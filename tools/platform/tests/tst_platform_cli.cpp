// quilba-platform as a program: its command line, the port line on stdout, the database file, the signals.
#include "AccountList.h"
#include "CounterRequests.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// The program started with its stdout on a pipe; stderr is kept in a file.
class PlatformProcess final
{
public:
    explicit PlatformProcess(const std::vector<std::string>& args)
    {
        int out[2];
        if (pipe(out) != 0)
            throw std::runtime_error("pipe");
        m_pid = fork();
        if (m_pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv;
            std::string program = QUILBA_PLATFORM_BIN;
            argv.push_back(program.data());
            std::vector<std::string> copy = args;
            for (auto& a : copy)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        m_out = fdopen(out[0], "r");
    }

    ~PlatformProcess()
    {
        if (m_pid > 0 && !m_reaped) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_out != nullptr)
            fclose(m_out);
    }

    std::string firstLine()
    {
        char line[256] = {};
        if (fgets(line, sizeof line, m_out) == nullptr)
            return {};
        std::string text(line);
        if (!text.empty() && text.back() == '\n')
            text.pop_back();
        return text;
    }

    // The exit code after the given signal (or none: the program ends by itself).
    int finish(int signal = 0)
    {
        if (signal != 0)
            kill(m_pid, signal);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_reaped = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    FILE* m_out = nullptr;
    bool m_reaped = false;
};

int portOf(const std::string& line)
{
    EXPECT_EQ(line.rfind("port ", 0), 0u) << line;
    return line.size() > 5 ? std::stoi(line.substr(5)) : 0;
}

class Cli : public testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/quilba-platform-cli-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string dir;
};

TEST_F(Cli, ServesWithTheGivenOptionsAndKeepsTheDatabaseFile)
{
    const std::string setup = dir + "/setup.exe";
    std::ofstream(setup, std::ios::binary) << std::string("MZ\0\x01", 4);
    const std::string db = dir + "/platform.sqlite";
    const Account account{"KEY", "login", "pwd", "G1", "Pharmacie"};
    const httplib::Headers auth{{"Authorization", AccountList::authorizationFor(account)}};
    {
        PlatformProcess process({"--port", "0", "--db", db, "--account", "KEY,login,pwd,G1",
                                 "--update-version", "2.0", "--update-setup", setup, "--now",
                                 "2024-03-15 10:00:00"});
        const int port = portOf(process.firstLine());
        ASSERT_GT(port, 0);
        httplib::Client client("127.0.0.1", port);
        EXPECT_EQ(client.Get("/updatequilba/version.html")->body, "2.0");
        EXPECT_EQ(client.Get("/updatequilba/setup.exe")->body, std::string("MZ\0\x01", 4));
        const auto created =
            client.Put("/apiv1/webapi.do", auth,
                       R"(json_data={"FidelityMember" : {"name":"DUPONT","cardnumber":"1234567"}})", "");
        ASSERT_TRUE(created);
        EXPECT_NE(created->body.find(R"("code":"OK")"), std::string::npos) << created->body;
        EXPECT_EQ(process.finish(SIGTERM), 0);
    }
    {
        // Seeding leaves a database that already holds members alone.
        PlatformProcess process({"--db", db, "--seed", "--account", "KEY,login,pwd,G1"});
        const int port = portOf(process.firstLine());
        ASSERT_GT(port, 0);
        httplib::Client client("127.0.0.1", port);
        const auto found =
            client.Post("/apiv1/webapi.do", auth, counter::formEncode(counter::lookupByCard("G1", "1234567")),
                        "application/x-www-form-urlencoded");
        ASSERT_TRUE(found);
        EXPECT_EQ(found->body.rfind(R"({"FidelityMember":)", 0), 0u) << found->body;
        const Account demo = AccountList::demoAccounts().front();
        const auto demoCard =
            client.Post("/apiv1/webapi.do", {{"Authorization", AccountList::authorizationFor(demo)}},
                        counter::formEncode(counter::lookupByCard(demo.group, "1010001")),
                        "application/x-www-form-urlencoded");
        ASSERT_TRUE(demoCard);
        EXPECT_NE(demoCard->body.find(R"("errorCode":"3008")"), std::string::npos) << demoCard->body;
        EXPECT_EQ(process.finish(SIGINT), 0);
    }
}

TEST_F(Cli, RefusesWrongOptions)
{
    const std::vector<std::vector<std::string>> wrong = {
        {"--port", "http"},
        {"--port", "70000"},
        {"--account", "KEY,login"},
        {"--tls-cert", "x"},
        {"--tls-max", "1.2"},
        {"--tls-cert", "c.pem", "--tls-key", "k.pem", "--tls-max", "1.1"},
        {"--now", "15/03/2024"},
        {"--unknown"},
        {"--db"},
    };
    for (const auto& args : wrong) {
        PlatformProcess process(args);
        EXPECT_EQ(process.firstLine(), "");
        EXPECT_EQ(process.finish(), 2) << args.front();
    }
    // Options that read well but cannot be served: no port line, a failure status.
    PlatformProcess missingCert({"--tls-cert", dir + "/none.pem", "--tls-key", dir + "/none.key"});
    EXPECT_EQ(missingCert.firstLine(), "");
    EXPECT_EQ(missingCert.finish(), 1);
    PlatformProcess missingSetup({"--update-setup", dir + "/none.exe"});
    EXPECT_EQ(missingSetup.firstLine(), "");
    EXPECT_EQ(missingSetup.finish(), 1);
    PlatformProcess missingRepository({"--update-repository", dir + "/no-such-folder"});
    EXPECT_EQ(missingRepository.firstLine(), "");
    EXPECT_EQ(missingRepository.finish(), 1);
    PlatformProcess help({"--help"});
    EXPECT_EQ(help.firstLine().rfind("usage", 0), 0u);
    EXPECT_EQ(help.finish(), 0);
}

} // namespace
