#pragma once

#include "members/EnrolmentSheet.h"
#include "members/Member.h"
#include "members/MemberEditor.h"

#include <QAbstractItemView>
#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>

class Clock;
class Dialogs;
class MemberSession;
class MemoryTable;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QTableView;
class QToolButton;
class ReportOutput;

// The enrolment form: enrols a new cardholder (SaveMode::Create) or modifies the member shown on
// the counter (SaveMode::Update). Fields are checked as the user leaves them; "Valider" checks the
// required ones, copies the controls into the edited record, has the member session save it on the
// platform and shows what the save tells.
class EnrolmentForm final : public QDialog, public MemberEditor
{
    Q_OBJECT
public:
    EnrolmentForm(Dialogs& dialogs, const Clock& clock, QWidget* parent = nullptr);

    // The session the saves go through; created after this form.
    void setsession(MemberSession* session) { m_session = session; }
    // Where the sign-up sheet goes, and the pharmacy settings its stamp shows.
    void setreportoutput(ReportOutput* output) { m_reportoutput = output; }
    void setpharmacie(std::function<QStringList()> pharmacie) { m_pharmacie = std::move(pharmacie); }

    // Prepares the form for a create (its own record, emptied) or an update (`amember`, edited in
    // place) with the counter's seller code, without showing it.
    void prepare(Member& amember, SaveMode typeappel, const QString& codevendeur);
    // Prepares the form and shows it modally; true when the platform accepted the member.
    bool execute(Member& amember, SaveMode typeappel, const QString& codevendeur) override;

    SaveMode mode() const { return m_mode; }
    // The record the form edits: its own in create mode, the caller's in update mode.
    const Member& edited() const override { return *m_edited; }
    bool saved() const { return m_saved; }
    MemoryTable& enfants() { return *m_enfants; }

    // "Valider": the required checks, the copy into the record, the save and its messages.
    void validate();
    // "Quitter": closes without saving after confirmation.
    void quit();
    // "Impression": the sign-up sheet filled from the controls as they stand.
    void printSheet();
    // The navigator's insert button: an empty child row; the record has ten slots at most.
    void insertenfant();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void build();
    void settaborder();
    void showmember(const Member& member);
    void copytomember(Member& member) const;
    QString dtndigits() const;
    void togglesuppression(int row);

    // The checks on leaving a field; each shows its message, puts the focus back and answers
    // false when the value fails.
    bool civiliteExit();
    bool dtnExit();
    bool phoneExit(QLineEdit* field);
    // The check of a field being left, if it has one; false when it failed.
    bool leave(QWidget* field);
    // "Valider" leaves the field that has the focus (its buttons take none) and runs its check;
    // false when it failed: the save stops there, the focus in the field.
    bool leavefocused();
    // Children's birth dates that do not exist are refused with the date message.
    bool childdatesvalid();

    Dialogs& m_dialogs;
    const Clock& m_clock;
    MemberSession* m_session = nullptr;
    ReportOutput* m_reportoutput = nullptr;
    std::function<QStringList()> m_pharmacie;
    EnrolmentSheet m_frxReport2;
    Member m_ownmember;
    Member* m_edited = &m_ownmember;
    SaveMode m_mode = SaveMode::Create;
    bool m_saved = false;
    bool m_checking = false;
    MemoryTable* m_enfants = nullptr;
    // The grid's editing, switched off while the check-box column is current.
    QAbstractItemView::EditTriggers m_GridOriginalOptions;

    QLineEdit* m_edcardnumber = nullptr;
    QLineEdit* m_edcodevendeur = nullptr;
    QComboBox* m_cbcivilite = nullptr;
    QLineEdit* m_ednom = nullptr;
    QLineEdit* m_edprenom = nullptr;
    QLineEdit* m_eddtn = nullptr;
    QLineEdit* m_edmobile = nullptr;
    QCheckBox* m_ckbportin = nullptr;
    QLineEdit* m_edmail = nullptr;
    QCheckBox* m_ckbemailin = nullptr;
    QLineEdit* m_edtel = nullptr;
    QLineEdit* m_edadresse = nullptr;
    QLineEdit* m_edadresse2 = nullptr;
    QLineEdit* m_edcodepost = nullptr;
    QLineEdit* m_edville = nullptr;
    QTableView* m_DBGrid1 = nullptr;
    QCheckBox* m_chkbxpara = nullptr;
    QCheckBox* m_chkbxbebe = nullptr;
    QCheckBox* m_chkbxsport = nullptr;
    QCheckBox* m_chkbxdiet = nullptr;
    QCheckBox* m_chkbxnature = nullptr;
    QToolButton* m_DBNavigator1 = nullptr;
    QToolButton* m_SpeedButton1 = nullptr;
    QToolButton* m_SpeedButton2 = nullptr;
    QToolButton* m_SpeedButton3 = nullptr;
};
