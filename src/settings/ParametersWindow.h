#pragma once

#include "settings/SettingsSession.h"

#include <QDialog>

class QLineEdit;
class QProgressBar;
class QPushButton;

// The parameters window: the modal screen in which the user types the account settings and the
// pharmacy's name and address. It shows the held values, hands what was typed to its
// SettingsSession and does what the session answers. At start it shows itself only when the
// session asks for the settings; afterwards the counter window's "PARAMETRES" button shows it with
// exec().
class ParametersWindow final : public QDialog
{
    Q_OBJECT
public:
    explicit ParametersWindow(SettingsSession& session, QWidget* parent = nullptr);

    // Start-up: the session reads the settings, the boxes show them; then the session either
    // hands the Authorization header on and checks for a new version, or the settings are typed
    // in this window, shown modally.
    void formcreate();

    // Shown by the updater while a new version is downloaded.
    QProgressBar* progressbar() const { return m_ProgressBar1; }

    // "Valider": the typed values to the session; the window closes when they are taken.
    void validate();
    // "Annuler": the session decides whether the program goes on; the window closes.
    void cancel();

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
    // The ten boxes as typed.
    Settings::Values typed() const;
    QLineEdit* box(SettingsSession::Box which) const;

    SettingsSession& m_session;

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
