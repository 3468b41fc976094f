#pragma once

#include "api/HttpClient.h"

#include <QDialog>

#include <functional>

class Dialogs;
class QLineEdit;
class QProgressBar;
class QPushButton;
class Settings;

// The parameters window: the modal screen in which the user types the account settings and the
// pharmacy's name and address. At start it reads the settings and shows itself only when they
// are incomplete; afterwards the counter window's "PARAMETRES" button shows it with exec().
class ParametersWindow final : public QDialog
{
    Q_OBJECT
public:
    ParametersWindow(Settings& settings, Dialogs& dialogs, QWidget* parent = nullptr);

    // Where the Authorization header goes: the counter client's custom headers.
    void setauthorizationtarget(std::function<void(HttpHeaders)> target);
    // The update check, run at start when the settings are complete.
    void setcheckupdate(std::function<void()> checkupdate);

    // Start-up: work folder, settings, boxes; then either the Authorization header and the update
    // check, or the modal entry of the settings.
    void formcreate();
    // Builds the Authorization header from the held values and hands it to the counter client.
    void setauthorization();

    // "Annuler" was pressed while the held settings were incomplete: the program must end.
    bool endrequested() const { return m_endrequested; }
    // Shown by the updater while a new version is downloaded.
    QProgressBar* progressbar() const { return m_ProgressBar1; }

    // "Valider": the required boxes, the settings written, the Authorization header handed on.
    void validate();
    // "Annuler": closes; with incomplete settings the program must end.
    void cancel();

signals:
    // Emitted with endrequested(): start-up finishes its creations and the event loop ends.
    void endapplication();

protected:
    void setVisible(bool visible) override;
    void done(int result) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void formclose();
    void formkeydown(const QKeyEvent& event);
    void setmasked(bool masked);
    void fillboxes();

    Settings& m_settings;
    Dialogs& m_dialogs;
    std::function<void(HttpHeaders)> m_authorizationtarget;
    std::function<void()> m_checkupdate;
    bool m_endrequested = false;

    QLineEdit* m_edapikey = nullptr;
    QLineEdit* m_edcodepharmacie = nullptr;
    QLineEdit* m_edlogin = nullptr;
    QLineEdit* m_edpwd = nullptr;
    QLineEdit* m_edurladelya = nullptr;
    QLineEdit* m_libellepharma = nullptr;
    QLineEdit* m_adrpharma = nullptr;
    QLineEdit* m_adr2pharma = nullptr;
    QLineEdit* m_cppharma = nullptr;
    QLineEdit* m_villepharma = nullptr;
    QPushButton* m_Button1 = nullptr;
    QPushButton* m_Button2 = nullptr;
    QProgressBar* m_ProgressBar1 = nullptr;
};
