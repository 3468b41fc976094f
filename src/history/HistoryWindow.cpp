#include "history/HistoryWindow.h"

#include "api/QuilbaError.h"
#include "data/FittedColumns.h"
#include "data/MemoryTable.h"
#include "history/HistoryRows.h"
#include "platform/Dialogs.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>
#include <QWidget>

using namespace Qt::StringLiterals;

HistoryWindow::HistoryWindow(MemoryTable& historique, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_historique(historique), m_dialogs(dialogs), m_DBGrid1(new QTableView(this)),
      m_Button1(new QPushButton(u"Annuler"_s))
{
    setObjectName(u"formhisto"_s);
    setWindowTitle(u"Historique "_s);
    setModal(false);
    resize(505, 231);

    m_DBGrid1->setObjectName(u"DBGrid1"_s);
    m_DBGrid1->setModel(&m_historique);
    m_DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    m_DBGrid1->verticalHeader()->hide();
    // A list to read: the arrows move in it, Tab leaves it for "Annuler".
    m_DBGrid1->setTabKeyNavigation(false);
    const int uDate = m_historique.fieldindex(u"uDate"_s);
    const int Valeur = m_historique.fieldindex(u"Valeur"_s);
    for (int column = 0; column < m_historique.columnCount(); ++column)
        m_DBGrid1->setColumnHidden(column, column == uDate || column == Valeur);
    // "Date", "Type" and "Commentaire" at most 130, 180 and 270 pixels, within the window's width.
    std::vector<int> most(static_cast<std::size_t>(m_historique.columnCount()), -1);
    most[static_cast<std::size_t>(m_historique.fieldindex(u"Date"_s))] = 130;
    most[static_cast<std::size_t>(m_historique.fieldindex(u"Type"_s))] = 180;
    most[static_cast<std::size_t>(m_historique.fieldindex(u"Commentaire"_s))] = 270;
    m_fit = new FittedColumns(m_DBGrid1, most);

    auto* panel = new QWidget(this);
    panel->setObjectName(u"Panel1"_s);
    panel->setFixedHeight(41);
    auto* panellayout = new QHBoxLayout(panel);
    panellayout->setContentsMargins(0, 0, 0, 0);
    m_Button1->setObjectName(u"Button1"_s);
    m_Button1->setAutoDefault(false);
    // Enter closes the window as Escape does: there is nothing else to do in it.
    m_Button1->setDefault(true);
    panellayout->addStretch();
    panellayout->addWidget(m_Button1);
    panellayout->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_DBGrid1);
    layout->addWidget(panel);

    connect(m_Button1, &QPushButton::clicked, this, &QDialog::close);
    // Every way of closing (button, close box, Escape) ends in finished.
    connect(this, &QDialog::finished, this, [this] {
        m_historique.clear();
        // The counter takes the keyboard back, where the pharmacist left it.
        if (QWidget* counter = parentWidget(); counter && counter->isVisible())
            counter->activateWindow();
    });
}

void HistoryWindow::historiquerequested(const std::optional<JsonValue>& eventlist)
{
    if (!eventlist)
        return;
    if (HistoryRows::isempty(*eventlist)) {
        m_dialogs.information(u"Il n'y a pas d'historique pour ce client"_s);
        return;
    }
    execute(*eventlist);
}

void HistoryWindow::execute(const JsonValue& eventlist)
{
    try {
        HistoryRows::fill(m_historique, eventlist);
    } catch (const QuilbaError& error) {
        m_dialogs.exception(error.message());
        return;
    }
    m_fit->fit();
    if (m_historique.rowCount() > 0)
        m_DBGrid1->setCurrentIndex(m_historique.index(0, m_historique.fieldindex(u"Date"_s)));
    if (!isVisible()) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
    m_DBGrid1->setFocus();
}
