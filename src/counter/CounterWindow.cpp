#include "counter/CounterWindow.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolBar>
#include <QScreen>
#include <QToolButton>

CounterWindow::CounterWindow(QWidget* parent) : QMainWindow(parent), m_search(new QLineEdit)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quilba v") + QStringLiteral(QUILBA_VERSION));

    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setAccessibleName(QStringLiteral("Barre d'outils"));
    bar->setMovable(false);
    bar->setFixedHeight(26);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->setStyleSheet(QStringLiteral(
        "QToolBar { background: rgb(41,103,22); border: none; spacing: 0; }"
        "QToolButton { color: white; font-family: Calibri; font-weight: bold; min-width: 76px;"
        " max-width: 76px; border: none; background: rgb(41,103,22); }"
        "QToolButton:hover, QToolButton:focus { background: rgb(151,190,13); }"));
    addToolBar(Qt::TopToolBarArea, bar);

    connect(addtoolbutton(bar, QStringLiteral("ToolButton1"), QStringLiteral("ADHESION"),
                          QStringLiteral("Nouvelle adhésion")),
            &QToolButton::clicked, this, &CounterWindow::adhesionrequested);
    connect(addtoolbutton(bar, QStringLiteral("ToolButton2"), QStringLiteral("MODIFICATION"),
                          QStringLiteral("Modifier le client affiché")),
            &QToolButton::clicked, this, &CounterWindow::modificationrequested);
    connect(addtoolbutton(bar, QStringLiteral("ToolButton3"), QStringLiteral("HISTORIQUE"),
                          QStringLiteral("Historique du client affiché")),
            &QToolButton::clicked, this, &CounterWindow::historiquerequested);
    bar->addSeparator()->setObjectName(QStringLiteral("ToolButton7"));
    connect(addtoolbutton(bar, QStringLiteral("ToolButton6"), QStringLiteral("ADELYA"),
                          QStringLiteral("Ouvrir la page de la plateforme")),
            &QToolButton::clicked, this, &CounterWindow::adelyarequested);
    bar->addSeparator()->setObjectName(QStringLiteral("ToolButton4"));
    connect(addtoolbutton(bar, QStringLiteral("ToolButton5"), QStringLiteral("PARAMETRES"),
                          QStringLiteral("Paramètres de connexion")),
            &QToolButton::clicked, this, &CounterWindow::parametresrequested);

    auto* central = new QWidget(this);
    central->setStyleSheet(QStringLiteral("background: white;"));
    auto* label = new QLabel(QStringLiteral("Nom / N° carte : "), central);
    label->setObjectName(QStringLiteral("Label1"));
    m_search->setObjectName(QStringLiteral("search"));
    m_search->setFixedWidth(249);
    label->setBuddy(m_search);
    auto* line = new QHBoxLayout;
    line->addWidget(label);
    line->addWidget(m_search);
    line->addStretch();
    auto* layout = new QVBoxLayout(central);
    layout->addLayout(line);
    layout->addStretch();
    setCentralWidget(central);

    setFixedSize(557, 380);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    m_search->setFocus();
}

QToolButton* CounterWindow::addtoolbutton(QToolBar* bar, const QString& name, const QString& caption,
                                          const QString& description)
{
    auto* button = new QToolButton(bar);
    button->setObjectName(name);
    button->setText(caption);
    button->setAccessibleName(caption);
    button->setAccessibleDescription(description);
    button->setFocusPolicy(Qt::StrongFocus);
    bar->addWidget(button);
    return button;
}

void CounterWindow::closeEvent(QCloseEvent* event)
{
    emit closed();
    QMainWindow::closeEvent(event);
}
