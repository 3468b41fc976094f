#include "BenchCounter.h"

#include "LocalPlatform.h"

BenchCounter::BenchCounter(const QString& url)
    : settings(work.path() + u'/'), client(buffer, [this] { return settings.url(); })
{
    Settings::Values values;
    values.apikey = LocalPlatform::demoapikey();
    values.login = LocalPlatform::demologin();
    values.password = LocalPlatform::demopassword();
    values.idpharma = LocalPlatform::demoidpharma();
    values.url = url;
    settings.write(values);
    settings.setauthorization(client.client());
    connexion = std::make_unique<Connection>(client.client(), buffer, [this] { return settings.url(); });
    members =
        std::make_unique<MemberSession>(MemberSession::Context{*connexion, client, settings, dialogs, clock});
    members->setoutbox(&outbox);
}

void BenchCounter::wire(CounterSession& session)
{
    session.setkeptsales(&outbox);
    session.setmemberread([this](const JsonValue& member, const QDateTime& asked) {
        return members->settleread(member, asked);
    });
}
