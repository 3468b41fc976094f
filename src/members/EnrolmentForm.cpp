#include "members/EnrolmentForm.h"

#include "data/FittedColumns.h"
#include "data/GridEditing.h"
#include "data/MemoryTable.h"
#include "members/ChildrenDelegate.h"
#include "members/EnrolmentRules.h"
#include "members/MemberSession.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QTableView>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

const QString suppression = u"Suppression"_s;

QLabel* label(QWidget* parent, const QString& text, int left, int top, int width, QWidget* buddy)
{
    auto* shown = new QLabel(text, parent);
    shown->setGeometry(left, top + 3, width, 15);
    if (buddy) {
        shown->setBuddy(buddy);
        buddy->setAccessibleName(text.trimmed().remove(u'*').remove(u':').trimmed());
    }
    return shown;
}

} // namespace

EnrolmentForm::EnrolmentForm(Dialogs& dialogs, const Clock& clock, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_clock(clock)
{
    setObjectName(u"formmember"_s);
    setWindowTitle(u"Formulaire d'adhésion"_s);
    setModal(true);
    m_enfants = new MemoryTable(u"enfants"_s,
                                {{suppression, MemoryTable::Type::Integer, 0},
                                 {u"Prénom"_s, MemoryTable::Type::Text, 20},
                                 {u"Sexe"_s, MemoryTable::Type::Text, 5},
                                 {u"Date Naissance"_s, MemoryTable::Type::Text, 8}},
                                this);
    m_enfants->seteditable(true);
    build();
    settaborder();
}

void EnrolmentForm::build()
{
    setFixedSize(473, 464);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    colours.setColor(QPalette::WindowText, Qt::darkGray);
    setPalette(colours);
    setFont(QFont(u"Calibri"_s, 8));

    const auto edit = [this](const QString& name, int left, int top, int width) {
        auto* field = new QLineEdit(this);
        field->setObjectName(name);
        field->setGeometry(left, top, width, 21);
        field->installEventFilter(this);
        return field;
    };
    const auto check = [this](const QString& name, const QString& caption, int left, int top) {
        auto* box = new QCheckBox(caption, this);
        box->setObjectName(name);
        box->move(left, top);
        box->adjustSize();
        box->installEventFilter(this);
        return box;
    };

    m_edcardnumber = edit(u"edcardnumber"_s, 114, 13, 121);
    label(this, u"Numéro de Carte* : "_s, 8, 13, 104, m_edcardnumber);
    connect(m_edcardnumber, &QLineEdit::textChanged, this, [this](const QString& text) {
        const QString card = EnrolmentRules::cardnumber(text);
        if (card != text)
            m_edcardnumber->setText(card);
    });
    m_edcodevendeur = edit(u"edcodevendeur"_s, 401, 13, 53);
    label(this, u"Code Vendeur :"_s, 320, 13, 80, m_edcodevendeur);

    m_cbcivilite = new QComboBox(this);
    m_cbcivilite->setObjectName(u"cbcivilite"_s);
    m_cbcivilite->setEditable(true);
    m_cbcivilite->setInsertPolicy(QComboBox::NoInsert);
    m_cbcivilite->addItems(EnrolmentRules::civilites());
    m_cbcivilite->setGeometry(68, 40, 121, 21);
    m_cbcivilite->installEventFilter(this);
    label(this, u"Civilité* :"_s, 8, 40, 58, m_cbcivilite);

    m_ednom = edit(u"ednom"_s, 68, 67, 149);
    label(this, u"Nom* : "_s, 8, 67, 58, m_ednom);
    m_edprenom = edit(u"edprenom"_s, 283, 67, 176);
    label(this, u"Prénom* :"_s, 225, 67, 56, m_edprenom);
    m_eddtn = edit(u"eddtn"_s, 120, 94, 98);
    m_eddtn->setInputMask(u"99/99/0000;_"_s);
    m_eddtn->setMaxLength(10);
    label(this, u"Date de Naissance* :"_s, 8, 94, 110, m_eddtn);
    m_edmobile = edit(u"edmobile"_s, 86, 121, 113);
    m_edmobile->setToolTip(u"exemple : 0612345678 / +33612345678"_s);
    label(this, u"Portable* : "_s, 8, 121, 76, m_edmobile);
    m_ckbportin = check(u"ckbportin"_s, u"Accepte de recevoir des SMS/MMS"_s, 219, 126);
    m_edmail = edit(u"edmail"_s, 86, 148, 191);
    label(this, u"E-mail* :"_s, 8, 148, 76, m_edmail);
    m_ckbemailin = check(u"ckbemailin"_s, u"Accepte de recevoir des emails"_s, 283, 148);
    m_edtel = edit(u"edtel"_s, 86, 175, 103);
    label(this, u"Tel Fixe : "_s, 8, 175, 76, m_edtel);
    m_edadresse = edit(u"edadresse"_s, 86, 202, 373);
    label(this, u"Adresse :"_s, 8, 202, 76, m_edadresse);
    m_edadresse2 = edit(u"edadresse2"_s, 86, 229, 373);
    m_edadresse2->setAccessibleName(u"Adresse, ligne 2"_s);
    m_edcodepost = edit(u"edcodepost"_s, 86, 256, 103);
    label(this, u"Code Postal :"_s, 8, 256, 76, m_edcodepost);
    m_edville = edit(u"edville"_s, 252, 256, 207);
    label(this, u"Ville : "_s, 205, 256, 45, m_edville);
    for (QLineEdit* phone : {m_edmobile, m_edtel}) {
        connect(phone, &QLineEdit::textEdited, this, [phone](const QString& text) {
            // A pasted text keeps only what the keyboard would let through.
            const QString kept = EnrolmentRules::phonefiltered(text);
            if (kept != text)
                phone->setText(kept);
        });
    }

    m_DBGrid1 = new QTableView(this);
    m_DBGrid1->setObjectName(u"DBGrid1"_s);
    m_DBGrid1->setModel(m_enfants);
    m_DBGrid1->setGeometry(15, 296, 444, 65);
    m_DBGrid1->verticalHeader()->hide();
    m_DBGrid1->verticalHeader()->setDefaultSectionSize(18);
    m_DBGrid1->setItemDelegate(new ChildrenDelegate(m_DBGrid1));
    new FittedColumns(m_DBGrid1);
    m_DBGrid1->installEventFilter(this);
    m_GridOriginalOptions = m_DBGrid1->editTriggers() | QAbstractItemView::AnyKeyPressed;
    m_DBGrid1->setEditTriggers(m_GridOriginalOptions);
    label(this, u"Enfant(s) :"_s, 15, 278, 80, m_DBGrid1);
    connect(m_DBGrid1, &QTableView::clicked, this, [this](const QModelIndex& index) {
        if (index.column() == 0)
            togglesuppression(index.row());
    });
    connect(m_DBGrid1, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.column() == 0)
            togglesuppression(index.row());
    });
    connect(m_DBGrid1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                // The check-box column is toggled, never edited as text.
                m_DBGrid1->setEditTriggers(current.column() == 0 ? QAbstractItemView::NoEditTriggers
                                                                 : m_GridOriginalOptions);
            });

    m_DBNavigator1 = new QToolButton(this);
    m_DBNavigator1->setObjectName(u"DBNavigator1"_s);
    m_DBNavigator1->setText(u"+"_s);
    m_DBNavigator1->setAccessibleName(u"Ajouter un enfant"_s);
    m_DBNavigator1->setToolTip(u"Ajouter un enfant (Inser)"_s);
    m_DBNavigator1->setGeometry(12, 361, 29, 18);
    connect(m_DBNavigator1, &QToolButton::clicked, this, &EnrolmentForm::insertenfant);
    auto* insert = new QShortcut(QKeySequence(Qt::Key_Insert), m_DBGrid1);
    insert->setContext(Qt::WidgetWithChildrenShortcut);
    connect(insert, &QShortcut::activated, m_DBNavigator1, &QToolButton::click);

    label(this, u"Centres d'intéret:"_s, 16, 384, 120, nullptr);
    m_chkbxpara = check(u"chkbxpara"_s, u"Para&&Cosmétique"_s, 16, 404);
    m_chkbxbebe = check(u"chkbxbebe"_s, u"Bébé"_s, 135, 404);
    m_chkbxsport = check(u"chkbxsport"_s, u"Sport"_s, 195, 404);
    m_chkbxdiet = check(u"chkbxdiet"_s, u"Diététique"_s, 260, 404);
    m_chkbxnature = check(u"chkbxnature"_s, u"Produits Naturels"_s, 352, 404);

    const auto button = [this](const QString& name, const QString& caption, int left, int width) {
        auto* flat = new QToolButton(this);
        flat->setObjectName(name);
        // They take no focus, as the fields must not be left by a click; Alt and the underlined
        // letter reaches them from the keyboard.
        flat->setText(u'&' + caption);
        flat->setAccessibleName(caption);
        flat->setAutoRaise(true);
        flat->setFocusPolicy(Qt::NoFocus);
        flat->setGeometry(left, 433, width, 25);
        flat->setAutoFillBackground(true);
        flat->setStyleSheet(u"QToolButton { background: #c0c0c0; }"_s);
        return flat;
    };
    m_SpeedButton3 = button(u"SpeedButton3"_s, u"Impression"_s, 8, 85);
    m_SpeedButton2 = button(u"SpeedButton2"_s, u"Quitter"_s, 201, 75);
    m_SpeedButton1 = button(u"SpeedButton1"_s, u"Valider"_s, 385, 75);
    m_SpeedButton1->setStyleSheet(u"QToolButton { background: #008000; color: white; font-weight: bold; }"_s);
    connect(m_SpeedButton3, &QToolButton::clicked, this, &EnrolmentForm::printSheet);
    connect(m_SpeedButton1, &QToolButton::clicked, this, &EnrolmentForm::validate);
    connect(m_SpeedButton2, &QToolButton::clicked, this, &EnrolmentForm::quit);
}

void EnrolmentForm::settaborder()
{
    const QList<QWidget*> order{m_edcardnumber, m_edcodevendeur, m_cbcivilite, m_ednom,      m_edprenom,
                                m_eddtn,        m_edmobile,      m_ckbportin,  m_edmail,     m_ckbemailin,
                                m_edtel,        m_edadresse,     m_edadresse2, m_edcodepost, m_edville,
                                m_DBGrid1,      m_chkbxpara,     m_chkbxbebe,  m_chkbxsport, m_chkbxdiet,
                                m_chkbxnature,  m_DBNavigator1};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
}

void EnrolmentForm::prepare(Member& amember, SaveMode typeappel, const QString& codevendeur)
{
    for (QCheckBox* box : {m_chkbxpara, m_chkbxbebe, m_chkbxsport, m_chkbxdiet, m_chkbxnature})
        box->setChecked(false);
    m_enfants->clear();
    m_saved = false;
    if (m_session)
        m_session->start();
    if (typeappel == SaveMode::Create) {
        m_edited = &m_ownmember;
        m_ownmember.init();
        m_ownmember.charge(); // a new member sends only what is typed for it
        showmember(m_ownmember);
    } else {
        m_edited = &amember;
        amember.charge();
        showmember(amember);
        m_chkbxpara->setChecked(amember.Getcipara() == 1);
        m_chkbxbebe->setChecked(amember.Getcibebe() == 1);
        m_chkbxsport->setChecked(amember.Getcisport() == 1);
        m_chkbxdiet->setChecked(amember.Getcidiet() == 1);
        m_chkbxnature->setChecked(amember.Getcinature() == 1);
        for (int k = 1; k <= amember.Getnbenfants(); ++k)
            m_enfants->appendrow({0, amember.prnenfant(k), amember.sexeenfant(k), amember.dtnenfant(k)});
    }
    m_mode = typeappel;
    m_edcodevendeur->setText(codevendeur);
    m_SpeedButton1->setEnabled(true);
    m_edcardnumber->setFocus();
}

bool EnrolmentForm::execute(Member& amember, SaveMode typeappel, const QString& codevendeur)
{
    prepare(amember, typeappel, codevendeur);
    exec();
    return m_saved;
}

void EnrolmentForm::showmember(const Member& member)
{
    const bool checking = m_checking;
    m_checking = true; // filling the controls checks nothing
    m_edcardnumber->setText(member.Getcardnumber());
    m_cbcivilite->setEditText(member.Getcivilite());
    m_ednom->setText(member.Getnom());
    m_edprenom->setText(member.Getprenom());
    m_eddtn->setText(member.Getdatenaissance());
    m_edmobile->setText(member.Getmobile());
    m_ckbportin->setChecked(member.Getteloptin());
    m_edmail->setText(member.Getemail());
    m_ckbemailin->setChecked(member.Getmailoptin());
    m_edtel->setText(member.Getfixe());
    m_edadresse->setText(member.Getadresse());
    m_edadresse2->setText(member.Getadresse2());
    m_edcodepost->setText(member.Getcp());
    m_edville->setText(member.Getville());
    m_checking = checking;
}

QString EnrolmentForm::dtndigits() const
{
    QString text = m_eddtn->text();
    return text.remove(u'/').trimmed();
}

void EnrolmentForm::copytomember(Member& member) const
{
    member.Setnom(m_ednom->text());
    member.Setprenom(m_edprenom->text());
    member.Setcivilite(m_cbcivilite->currentText());
    member.Setfixe(m_edtel->text());
    member.Setmobile(m_edmobile->text());
    member.Setcardnumber(m_edcardnumber->text());
    member.Setemail(m_edmail->text());
    member.Setmailoptin(m_ckbemailin->isChecked());
    member.Setteloptin(m_ckbportin->isChecked());
    member.chargeadresse(m_edadresse->text(), m_edadresse2->text(), m_edcodepost->text(), m_edville->text());
    member.Setdatenaissance(dtndigits());
    member.Setcipara(m_chkbxpara->isChecked() ? 1 : 0);
    member.Setcibebe(m_chkbxbebe->isChecked() ? 1 : 0);
    member.Setcisport(m_chkbxsport->isChecked() ? 1 : 0);
    member.Setcidiet(m_chkbxdiet->isChecked() ? 1 : 0);
    member.Setcinature(m_chkbxnature->isChecked() ? 1 : 0);
    const int rows = m_enfants->rowCount();
    for (int row = 0; row < rows; ++row) {
        member.childrenupdate(row + 1, m_enfants->value(row, u"Prénom"_s).toString(),
                              m_enfants->value(row, u"Sexe"_s).toString(),
                              m_enfants->value(row, u"Date Naissance"_s).toString(),
                              m_enfants->value(row, suppression).toInt() != 0);
    }
    member.Setnbenfants(rows);
}

void EnrolmentForm::validate()
{
    // The buttons take no focus: the child being typed and the field being typed are left here.
    GridEditing::commit(*m_DBGrid1);
    if (!leavefocused())
        return;
    const EnrolmentRules::Required values{m_edcardnumber->text(),      m_ednom->text(), m_edprenom->text(),
                                          m_cbcivilite->currentText(), dtndigits(),     m_edmail->text(),
                                          m_edmobile->text()};
    if (const auto failure = EnrolmentRules::validate(values)) {
        m_checking = true;
        m_dialogs.error(failure->message);
        if (auto* control = findChild<QWidget*>(failure->control))
            control->setFocus();
        m_checking = false;
        return;
    }
    if (!childdatesvalid())
        return;
    copytomember(*m_edited);
    m_SpeedButton1->setEnabled(false);
    MemberSession::Outcome outcome;
    outcome.mode = m_mode;
    if (m_session)
        outcome = m_session->save(*m_edited, m_mode);
    for (const QString& message : std::as_const(outcome.messages))
        m_dialogs.information(message);
    m_saved = m_saved || outcome.saved();
    // Once the member exists, the next try updates it rather than enrolling it a second time.
    m_mode = outcome.mode;
    if (outcome.saved() && !outcome.childrenpending) {
        accept();
        return;
    }
    // A child not recorded, or a save not recorded or not known yet, keeps the form open for
    // another try.
    m_SpeedButton1->setEnabled(true);
}

bool EnrolmentForm::childdatesvalid()
{
    const int datecolumn = ChildrenDelegate::datecolumn;
    for (int row = 0; row < m_enfants->rowCount(); ++row) {
        const QString digits = m_enfants->value(row, datecolumn).toString();
        if (m_enfants->value(row, suppression).toInt() != 0 || digits.isEmpty() ||
            EnrolmentRules::parsedate(digits).isValid())
            continue;
        m_dialogs.error(EnrolmentRules::dateincorrecte());
        m_DBGrid1->setFocus();
        m_DBGrid1->setCurrentIndex(m_enfants->index(row, datecolumn));
        return false;
    }
    return true;
}

void EnrolmentForm::quit()
{
    if (m_dialogs.question(u"Annuler les modifications en cours"_s))
        reject();
}

void EnrolmentForm::printSheet()
{
    GridEditing::commit(*m_DBGrid1);
    if (!m_reportoutput)
        return;
    EnrolmentSheet::Fields fields;
    fields.cardnumber = m_edcardnumber->text();
    fields.civilite = m_cbcivilite->currentText();
    fields.nom = m_ednom->text();
    fields.prenom = m_edprenom->text();
    fields.adresse = m_edadresse->text();
    fields.adresse2 = m_edadresse2->text();
    fields.cp = m_edcodepost->text();
    fields.ville = m_edville->text();
    fields.datenaissance = dtndigits();
    fields.mobile = m_edmobile->text();
    fields.tel = m_edtel->text();
    fields.email = m_edmail->text();
    fields.emailoptin = m_ckbemailin->isChecked();
    m_frxReport2.print(fields, m_pharmacie ? m_pharmacie() : QStringList(), *m_reportoutput);
}

void EnrolmentForm::insertenfant()
{
    GridEditing::commit(*m_DBGrid1);
    if (m_enfants->rowCount() >= Member::maxenfants) {
        m_dialogs.information(u"Une adhésion compte au plus dix enfants"_s);
        return;
    }
    const int row = m_enfants->appendrow({0, QString(), QString(), QString()});
    m_DBGrid1->setCurrentIndex(m_enfants->index(row, 1));
    m_DBGrid1->setFocus();
}

void EnrolmentForm::togglesuppression(int row)
{
    const QModelIndex cell = m_enfants->index(row, 0);
    m_enfants->setData(cell, m_enfants->value(row, 0).toInt() != 0 ? 0 : 1);
}

bool EnrolmentForm::civiliteExit()
{
    const QString text = m_cbcivilite->currentText().toUpper();
    m_cbcivilite->setEditText(text);
    if (EnrolmentRules::civilitevalid(text))
        return true;
    m_dialogs.information(EnrolmentRules::civiliteinvalid());
    m_cbcivilite->setFocus();
    m_cbcivilite->showPopup();
    return false;
}

bool EnrolmentForm::dtnExit()
{
    const auto message = EnrolmentRules::datenaissance(dtndigits(), m_clock.now());
    if (!message)
        return true;
    m_dialogs.information(*message);
    m_eddtn->setFocus();
    return false;
}

bool EnrolmentForm::phoneExit(QLineEdit* field)
{
    if (field->text().isEmpty() || EnrolmentRules::phonevalid(field->text()))
        return true;
    m_dialogs.error(EnrolmentRules::phoneinvalid());
    field->setFocus();
    return false;
}

bool EnrolmentForm::leave(QWidget* field)
{
    const bool checking = m_checking;
    m_checking = true; // the focus put back by a check is not a leaving
    bool passed = true;
    if (field == m_cbcivilite)
        passed = civiliteExit();
    else if (field == m_eddtn)
        passed = dtnExit();
    else if (field == m_edmobile || field == m_edtel)
        passed = phoneExit(static_cast<QLineEdit*>(field));
    m_checking = checking;
    return passed;
}

bool EnrolmentForm::leavefocused()
{
    QWidget* field = focusWidget();
    if (field && field->parentWidget() == m_cbcivilite)
        field = m_cbcivilite;
    // The box's own message asks for another value, and the focus is back in it: the save stops
    // there, so that no value the pharmacist was just told is wrong is sent. An empty civility or
    // birth date is told once, by the box.
    return !field || leave(field);
}

void EnrolmentForm::keyPressEvent(QKeyEvent* event)
{
    // Escape leaves the form as "Quitter" does, with its question.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        quit();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool EnrolmentForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (watched == m_DBGrid1) {
            if (enter) {
                const QModelIndex current = m_DBGrid1->currentIndex();
                const int next = current.column() + 1;
                if (current.isValid() && next < m_enfants->columnCount())
                    m_DBGrid1->setCurrentIndex(m_enfants->index(current.row(), next));
                else if (current.isValid() && current.row() + 1 < m_enfants->rowCount())
                    m_DBGrid1->setCurrentIndex(m_enfants->index(current.row() + 1, 0));
                return true;
            }
            if (key->key() == Qt::Key_Space && m_DBGrid1->currentIndex().column() == 0) {
                togglesuppression(m_DBGrid1->currentIndex().row());
                return true;
            }
            return false;
        }
        if (enter) {
            focusNextChild();
            return true;
        }
        // Phone fields take digits and "+" from the keyboard; Tab, Backspace, the arrows and the
        // editing shortcuts go through.
        if ((watched == m_edmobile || watched == m_edtel) && !key->text().isEmpty() &&
            key->text().at(0).isPrint() && !(key->modifiers() & Qt::ControlModifier) &&
            !EnrolmentRules::phonecharacter(key->text().at(0)))
            return true;
        return false;
    }
    if (event->type() == QEvent::FocusOut && !m_checking && isVisible()) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // A drop-down list, a message box or another window taking the focus is not leaving.
        if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
            return false;
        leave(qobject_cast<QWidget*>(watched));
    }
    return false;
}
