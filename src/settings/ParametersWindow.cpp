#include "ParametersWindow.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// The credential boxes show "#" for each hidden character, whatever the platform's style.
class HashMaskStyle final : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* answer) const override
    {
        if (hint == QStyle::SH_LineEdit_PasswordCharacter)
            return u'#';
        return QProxyStyle::styleHint(hint, option, widget, answer);
    }
};

QLineEdit* newedit(QWidget* parent, const QString& name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

// A label bound to its box, so that the box's accessible name is the label's text.
QLabel* newlabel(QWidget* parent, const QString& text, QWidget* buddy)
{
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

ParametersWindow::ParametersWindow(SettingsSession& session, QWidget* parent)
    : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("formparams"));
    setWindowTitle(QStringLiteral("Saisie des Paramètres"));
    // A title bar with minimise and maximise buttons and no close button. Qt adds a system menu
    // to any window with those buttons, except to a dialog on Windows.
#ifdef Q_OS_WIN
    const Qt::WindowType kind = Qt::Dialog;
#else
    const Qt::WindowType kind = Qt::Window;
#endif
    setWindowFlags(kind | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint);
    QFont calibri = font();
    calibri.setFamilies({QStringLiteral("Calibri")});
    setFont(calibri);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    resize(416, 341);

    m_edapikey = newedit(this, QStringLiteral("edapikey"));
    m_edcodepharmacie = newedit(this, QStringLiteral("edcodepharmacie"));
    m_edlogin = newedit(this, QStringLiteral("edlogin"));
    m_edpwd = newedit(this, QStringLiteral("edpwd"));
    m_edurladelya = newedit(this, QStringLiteral("edurladelya"));
    m_edurladelya->setEnabled(false);
    m_libellepharma = newedit(this, QStringLiteral("libellepharma"));
    m_adrpharma = newedit(this, QStringLiteral("adrpharma"));
    m_adr2pharma = newedit(this, QStringLiteral("adr2pharma"));
    m_adr2pharma->setAccessibleName(QStringLiteral("Adresse, suite"));
    m_cppharma = newedit(this, QStringLiteral("cppharma"));
    m_cppharma->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_cppharma));
    m_cppharma->setFixedWidth(43);
    m_villepharma = newedit(this, QStringLiteral("villepharma"));
    auto* hashmask = new HashMaskStyle;
    hashmask->setParent(this);
    for (QLineEdit* edit : {m_edapikey, m_edpwd, m_edlogin})
        edit->setStyle(hashmask);
    setmasked(true);

    m_Button1 = new QPushButton(QStringLiteral("Valider"), this);
    m_Button1->setObjectName(QStringLiteral("Button1"));
    m_Button2 = new QPushButton(QStringLiteral("Annuler"), this);
    m_Button2->setObjectName(QStringLiteral("Button2"));
    // Enter in a box validates nothing: only a click (or Space) on a button does.
    for (QPushButton* button : {m_Button1, m_Button2}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    m_ProgressBar1 = new QProgressBar(this);
    m_ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_ProgressBar1->setAccessibleName(QStringLiteral("Téléchargement de la mise à jour"));
    m_ProgressBar1->hide();

    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 2);
    int row = 0;
    const auto line = [&](const QString& text, QLineEdit* edit) {
        grid->addWidget(newlabel(this, text, edit), row, 0);
        grid->addWidget(edit, row, 1, 1, 3);
        ++row;
    };
    line(QStringLiteral("API Key :"), m_edapikey);
    line(QStringLiteral("Identifiant pharmacie :"), m_edcodepharmacie);
    line(QStringLiteral("login :"), m_edlogin);
    line(QStringLiteral("Mot de passe :"), m_edpwd);
    line(QStringLiteral("URL Adélya :"), m_edurladelya);
    line(QStringLiteral("Libellé Phamarcie :"), m_libellepharma);
    line(QStringLiteral("Adresse : "), m_adrpharma);
    grid->addWidget(m_adr2pharma, row++, 1, 1, 3);
    grid->addWidget(newlabel(this, QStringLiteral("Code postal :"), m_cppharma), row, 0);
    grid->addWidget(m_cppharma, row, 1, Qt::AlignLeft);
    grid->addWidget(newlabel(this, QStringLiteral("Ville"), m_villepharma), row, 2, Qt::AlignRight);
    grid->addWidget(m_villepharma, row, 3);

    auto* bottombar = new QHBoxLayout;
    bottombar->addStretch(2);
    bottombar->addWidget(m_Button2);
    bottombar->addStretch(3);
    bottombar->addWidget(m_Button1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addWidget(m_ProgressBar1);
    layout->addLayout(bottombar);

    QWidget* const order[] = {m_edapikey,    m_edcodepharmacie, m_edlogin,   m_edpwd,
                              m_edurladelya, m_libellepharma,   m_adrpharma, m_adr2pharma,
                              m_cppharma,    m_villepharma,     m_Button1,   m_Button2};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    // The window sees every key before the focused control does.
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);

    connect(m_Button1, &QPushButton::clicked, this, &ParametersWindow::validate);
    connect(m_Button2, &QPushButton::clicked, this, &ParametersWindow::cancel);
}

void ParametersWindow::formcreate()
{
    m_session.open();
    // The boxes are filled before the update check, which may show this window with its bar.
    fillboxes();
    if (!m_session.start()) {
        hide();
        return;
    }
    setmasked(false);
    exec();
}

void ParametersWindow::fillboxes()
{
    const Settings::Values held = m_session.settings().values();
    for (const SettingsSession::Box which : SettingsSession::boxes)
        box(which)->setText(held.*SettingsSession::valueof(which));
}

Settings::Values ParametersWindow::typed() const
{
    Settings::Values values;
    for (const SettingsSession::Box which : SettingsSession::boxes)
        values.*SettingsSession::valueof(which) = box(which)->text();
    return values;
}

QLineEdit* ParametersWindow::box(SettingsSession::Box which) const
{
    switch (which) {
    case SettingsSession::Box::apikey:
        return m_edapikey;
    case SettingsSession::Box::idpharma:
        return m_edcodepharmacie;
    case SettingsSession::Box::login:
        return m_edlogin;
    case SettingsSession::Box::password:
        return m_edpwd;
    case SettingsSession::Box::url:
        return m_edurladelya;
    case SettingsSession::Box::libellepharma:
        return m_libellepharma;
    case SettingsSession::Box::adrpharma:
        return m_adrpharma;
    case SettingsSession::Box::adr2pharma:
        return m_adr2pharma;
    case SettingsSession::Box::cppharma:
        return m_cppharma;
    case SettingsSession::Box::villepharma:
        return m_villepharma;
    }
    return nullptr;
}

void ParametersWindow::validate()
{
    const SettingsSession::Step step = m_session.validate(typed());
    if (step.focus)
        box(*step.focus)->setFocus();
    if (step.close)
        done(QDialog::Accepted);
}

void ParametersWindow::cancel()
{
    if (m_session.cancel().close)
        done(QDialog::Rejected);
}

void ParametersWindow::setmasked(bool masked)
{
    const QLineEdit::EchoMode mode = masked ? QLineEdit::Password : QLineEdit::Normal;
    for (QLineEdit* edit : {m_edapikey, m_edpwd, m_edlogin})
        edit->setEchoMode(mode);
}

void ParametersWindow::formclose()
{
    setmasked(true);
}

void ParametersWindow::formkeydown(const QKeyEvent& event)
{
    if (event.key() == Qt::Key_D && event.modifiers() == (Qt::ControlModifier | Qt::ShiftModifier))
        setmasked(false);
}

void ParametersWindow::setVisible(bool visible)
{
    if (visible && !isVisible()) {
        // Centred on the desktop each time it is shown.
        if (const QScreen* desktop = QGuiApplication::primaryScreen())
            setGeometry(
                QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), desktop->availableGeometry()));
    }
    QDialog::setVisible(visible);
}

void ParametersWindow::done(int result)
{
    formclose();
    QDialog::done(result);
}

void ParametersWindow::closeEvent(QCloseEvent* event)
{
    // The window has no close button: the window system cannot close it behind the back of
    // "Valider" and "Annuler".
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void ParametersWindow::keyPressEvent(QKeyEvent* event)
{
    formkeydown(*event);
    // Escape does not close the window either.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool ParametersWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress)
        formkeydown(*static_cast<QKeyEvent*>(event));
    return QDialog::eventFilter(watched, event);
}
