#include "settings/SettingsSession.h"

#include "api/HttpClient.h"
#include "platform/Dialogs.h"
#include "platform/WorkFolder.h"
#include "settings/Updater.h"

#include <QDir>

#include <utility>

SettingsSession::SettingsSession(const Context& context, QObject* parent)
    : QObject(parent), m_context(context), m_clients{&context.counterclient}
{
}

void SettingsSession::addclient(HttpClient& client)
{
    m_clients.push_back(&client);
}

void SettingsSession::open()
{
    const WorkFolder::Location folder = WorkFolder::locate();
    if (!folder.ok)
        m_context.dialogs.information(QStringLiteral("Impossible de créer le répertoire de travail"));
    m_context.settings.setapplicationdata(folder.path);

    if (!m_context.settings.read())
        m_context.dialogs.information(QStringLiteral("Erreur en lecture des parametres"));
}

bool SettingsSession::start()
{
    if (m_context.settings.complete()) {
        setauthorization();
        if (m_context.updater)
            m_context.updater->checkupdate();
        return false;
    }
    m_context.dialogs.information(QStringLiteral("Vous devez renseigner les parametres de connexion"));
    return true;
}

SettingsSession::Step SettingsSession::validate(const Settings::Values& typed)
{
    for (const QString* required : {&typed.apikey, &typed.idpharma, &typed.password, &typed.login}) {
        if (required->isEmpty()) {
            m_context.dialogs.information(QStringLiteral("Vous devez renseigner toutes les zones"));
            return {};
        }
    }
    // The settings file keeps one line per value: a line break (pasted with a key or a password)
    // would change the value behind the user's back. The URL is not typed.
    for (const Box box : boxes) {
        const QString& text = typed.*valueof(box);
        if (box != Box::url && (text.contains(u'\n') || text.contains(u'\r'))) {
            m_context.dialogs.information(
                QStringLiteral("Les paramètres ne doivent pas contenir de saut de ligne"));
            Step step;
            step.focus = box;
            return step;
        }
    }
    Settings& settings = m_context.settings;
    if (!settings.write(typed)) {
        // The values are held for this run all the same; the user must know they are not saved.
        m_context.dialogs.exception(
            QStringLiteral("Impossible d'enregistrer les paramètres dans « %1 ».\n%2\nLes paramètres saisis "
                           "restent utilisés jusqu'à la fermeture du programme.")
                .arg(QDir::toNativeSeparators(settings.inipath()), settings.errorstring()));
    }
    setauthorization();
    Step step;
    step.close = true;
    return step;
}

SettingsSession::Step SettingsSession::cancel()
{
    Step step;
    step.close = true;
    if (m_context.settings.cancelallowed())
        return step;
    m_context.dialogs.information(
        QStringLiteral("Les parametres ne sont pas complets - l'application ne peut pas fonctionner"));
    m_endrequested = true;
    step.end = true;
    emit endapplication();
    return step;
}

QString Settings::Values::*SettingsSession::valueof(Box box)
{
    switch (box) {
    case Box::apikey:
        return &Settings::Values::apikey;
    case Box::idpharma:
        return &Settings::Values::idpharma;
    case Box::login:
        return &Settings::Values::login;
    case Box::password:
        return &Settings::Values::password;
    case Box::url:
        return &Settings::Values::url;
    case Box::libellepharma:
        return &Settings::Values::libellepharma;
    case Box::adrpharma:
        return &Settings::Values::adrpharma;
    case Box::adr2pharma:
        return &Settings::Values::adr2pharma;
    case Box::cppharma:
        return &Settings::Values::cppharma;
    case Box::villepharma:
        return &Settings::Values::villepharma;
    }
    return &Settings::Values::apikey;
}

void SettingsSession::setauthorization()
{
    const HttpHeaders headers = m_context.settings.authorizationheaders();
    for (HttpClient* client : m_clients)
        client->setcustomheaders(headers);
}
