#include "ConnectionRig.h"

ConnectionRig::ConnectionRig(LogFile* log) : counter(buffer, [this] { return server.url(); })
{
    buffer.settext(QStringLiteral("Memo1"));
    counter.client().setcustomheaders({{"Authorization", "Basic a2V5OnB3"}});
    connexion = std::make_unique<Connection>(
        counter.client(), buffer, [this] { return server.url(); }, log);
}
