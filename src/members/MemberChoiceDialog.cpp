#include "members/MemberChoiceDialog.h"

#include "data/FittedColumns.h"
#include "data/MemoryTable.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

MemberChoiceDialog::MemberChoiceDialog(MemoryTable& listeMembre, QWidget* parent)
    : QDialog(parent), m_table(listeMembre), m_grid(new QTableView(this)),
      m_btnannuler(new QPushButton(u"Annuler"_s, this)), m_btnchoisir(new QPushButton(u"Valider"_s, this))
{
    setObjectName(u"choixmembre"_s);
    setWindowTitle(u"Choix Membre :"_s);
    resize(505, 169);

    m_grid->setObjectName(u"DBGrid1"_s);
    m_grid->setAccessibleName(u"Membres trouvés"_s);
    m_grid->setModel(&m_table);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setDefaultSectionSize(20);
    m_grid->setTabKeyNavigation(false);
    m_grid->installEventFilter(this);
    m_grid->setColumnHidden(m_table.fieldindex(u"id"_s), true);
    // Every column shows, "Nb Points" included, so that homonyms can be told apart: no column
    // wider than its width of old, and a text cut reads whole as its tooltip.
    const std::pair<QString, int> widths[] = {
        {u"Numéro Carte"_s, 100}, {u"Nom"_s, 110},   {u"Prénom"_s, 70},    {u"Adresse"_s, 100},
        {u"Code Postal"_s, 70},   {u"Ville"_s, 100}, {u"Nb Points"_s, 100}};
    std::vector<int> most(static_cast<std::size_t>(m_table.columnCount()), -1);
    for (const auto& [field, width] : widths)
        most[static_cast<std::size_t>(m_table.fieldindex(field))] = width;
    new FittedColumns(m_grid, most);

    m_btnannuler->setObjectName(u"btnannuler"_s);
    m_btnchoisir->setObjectName(u"btnchoisir"_s);
    m_btnannuler->setAutoDefault(false);
    m_btnchoisir->setAutoDefault(false);
    connect(m_btnannuler, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_btnchoisir, &QPushButton::clicked, this, &MemberChoiceDialog::btnchoisirClick);
    connect(m_grid, &QTableView::doubleClicked, this, &MemberChoiceDialog::btnchoisirClick);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_btnannuler);
    buttons->addStretch();
    buttons->addWidget(m_btnchoisir);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 6);
    layout->addWidget(m_grid, 1);
    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(8, 0, 8, 0);
    bottom->addLayout(buttons);
    layout->addLayout(bottom);
}

std::optional<QString> MemberChoiceDialog::choose(const std::vector<QStringList>& rows)
{
    m_table.clear();
    std::vector<QVariantList> values;
    values.reserve(rows.size());
    for (const QStringList& row : rows)
        values.emplace_back(row.begin(), row.end());
    m_table.appendrows(values);
    exec();
    if (!m_chosen)
        return std::nullopt;
    return m_chosenid;
}

void MemberChoiceDialog::showEvent(QShowEvent* event)
{
    m_chosen = false;
    m_chosenid.clear();
    if (m_table.rowCount() > 0)
        m_grid->setCurrentIndex(m_table.index(0, m_table.fieldindex(u"Numéro Carte"_s)));
    m_grid->setFocus();
    QDialog::showEvent(event);
}

bool MemberChoiceDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_grid && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            btnchoisirClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void MemberChoiceDialog::btnchoisirClick()
{
    const QModelIndex current = m_grid->currentIndex();
    const QString id = current.isValid() ? m_table.value(current.row(), u"id"_s).toString() : QString();
    // No lookup by an empty id: without a member to take, Valider leaves as Annuler does.
    if (id.isEmpty()) {
        reject();
        return;
    }
    m_chosenid = id;
    m_chosen = true;
    accept();
}

void MemberChoiceDialog::done(int result)
{
    QDialog::done(result);
    m_table.clear();
}
