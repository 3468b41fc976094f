#pragma once

#include "settings/Settings.h"

#include <QObject>
#include <array>
#include <optional>
#include <vector>

class Dialogs;
class HttpClient;
class Updater;

// The settings' flows without a window: the start-up (the work folder, the settings file, then
// either the Authorization header and the update check, or the entry of the settings), "Valider"
// and "Annuler". The pharmacist is told through Dialogs, in the order the steps happen (the update
// check talks through it too); each step returns what the parameters window does next.
class SettingsSession final : public QObject
{
    Q_OBJECT
public:
    // What the session works with; all of it lives for the whole run.
    struct Context
    {
        Settings& settings;
        Dialogs& dialogs;
        // The counter client: the Authorization header goes to it at start and at each validation.
        HttpClient& counterclient;
        // The check for a new version at start; none: no check.
        Updater* updater = nullptr;
    };

    // The boxes of the window, one per value.
    enum class Box
    {
        apikey,
        idpharma,
        login,
        password,
        url,
        libellepharma,
        adrpharma,
        adr2pharma,
        cppharma,
        villepharma,
    };
    static constexpr std::array<Box, 10> boxes{
        Box::apikey,        Box::idpharma,  Box::login,      Box::password, Box::url,
        Box::libellepharma, Box::adrpharma, Box::adr2pharma, Box::cppharma, Box::villepharma};
    // The value a box holds.
    static QString Settings::Values::*valueof(Box box);

    // What the window does after "Valider" or "Annuler".
    struct Step
    {
        // The window closes.
        bool close = false;
        // The box that takes the keyboard, the window staying open.
        std::optional<Box> focus;
        // The held settings are incomplete: the program ends once the window has closed.
        bool end = false;
    };

    explicit SettingsSession(const Context& context, QObject* parent = nullptr);

    Settings& settings() { return m_context.settings; }
    // Another client that takes the Authorization header at each validation from now on (the
    // connection holder, created at the end of start-up with the counter client's header).
    void addclient(HttpClient& client);

    // Start-up, first: the work folder found or created, the settings file read.
    void open();
    // Start-up, then, the boxes filled: complete settings give the Authorization header and the
    // update check; incomplete ones are asked for. True when the window must take them (shown
    // modally, the credentials readable).
    bool start();
    // "Valider" with the values as typed: the required boxes, no line break, the file written,
    // the Authorization header handed on.
    Step validate(const Settings::Values& typed);
    // "Annuler": closes; with incomplete held settings the program must end.
    Step cancel();

    // "Annuler" was pressed while the held settings were incomplete.
    bool endrequested() const { return m_endrequested; }

signals:
    // Emitted with endrequested(): start-up finishes its creations and the event loop ends.
    void endapplication();

private:
    // The header from the held values, to every client of the platform.
    void setauthorization();

    Context m_context;
    std::vector<HttpClient*> m_clients;
    bool m_endrequested = false;
};
