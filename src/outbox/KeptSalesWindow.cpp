#include "outbox/KeptSalesWindow.h"

#include "data/FittedColumns.h"
#include "platform/Dialogs.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QTableWidgetItem* cell(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

// A line that tells something about the list; screen readers read what it says.
QLabel* line(const QString& name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->hide();
    return label;
}

void say(QLabel* label, const QString& text)
{
    label->setText(text);
    label->setAccessibleName(text);
    label->setVisible(!text.isEmpty());
}

QPushButton* button(const QString& name, const QString& caption, QWidget* parent)
{
    auto* widget = new QPushButton(caption, parent);
    widget->setObjectName(name);
    widget->setAccessibleName(caption);
    return widget;
}

QString client(const KeptSale& sale)
{
    if (sale.cardnumber.isEmpty())
        return sale.membername;
    if (sale.membername.isEmpty())
        return sale.cardnumber;
    return sale.membername + u" ("_s + sale.cardnumber + u')';
}

} // namespace

KeptSalesWindow::KeptSalesWindow(KeptSales& store, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_store(store), m_dialogs(dialogs), m_listeventes(new QTableWidget(this)),
      m_erreurliste(line(u"erreurliste"_s, this)), m_aucunevente(line(u"aucunevente"_s, this)),
      m_supprimer(button(u"supprimer"_s, u"Supprimer"_s, this)),
      m_fermer(button(u"fermer"_s, u"Fermer"_s, this))
{
    setObjectName(u"ventesenattente"_s);
    setWindowTitle(u"Ventes en attente d'envoi"_s);
    resize(720, 300);

    m_listeventes->setObjectName(u"listeventes"_s);
    m_listeventes->setAccessibleName(u"Ventes en attente d'envoi"_s);
    m_listeventes->setColumnCount(6);
    m_listeventes->setHorizontalHeaderLabels(
        {u"Client"_s, u"Montant"_s, u"Vendeur"_s, u"N° de vente"_s, u"Gardée le"_s, u"Dernier échec"_s});
    m_listeventes->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listeventes->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listeventes->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listeventes->setWordWrap(false);
    m_listeventes->verticalHeader()->hide();
    // Every column shows within the window, "Dernier échec" included; a text cut reads whole as
    // its tooltip.
    new FittedColumns(m_listeventes);
    // A list to read: the arrows move in it, Tab leaves it for the buttons.
    m_listeventes->setTabKeyNavigation(false);
    m_listeventes->installEventFilter(this);

    m_supprimer->setEnabled(false);
    // Enter on the list closes the window: it must never delete.
    m_fermer->setDefault(true);
    connect(m_supprimer, &QPushButton::clicked, this, &KeptSalesWindow::supprimer);
    connect(m_fermer, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_listeventes->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &KeptSalesWindow::selectionchanged);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_supprimer);
    buttons->addStretch();
    buttons->addWidget(m_fermer);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_listeventes, 1);
    layout->addWidget(m_erreurliste);
    layout->addWidget(m_aucunevente);
    layout->addLayout(buttons);
    setTabOrder(m_listeventes, m_supprimer);
    setTabOrder(m_supprimer, m_fermer);
}

void KeptSalesWindow::showEvent(QShowEvent* event)
{
    // It opens on its list, wherever the keyboard was left the last time.
    m_listeventes->setFocus();
    QDialog::showEvent(event);
}

void KeptSalesWindow::reload()
{
    const int row = selectedrow();
    fill(row >= 0 ? std::optional(m_sales.at(size_t(row)).id) : std::nullopt, row);
}

void KeptSalesWindow::fill(std::optional<qint64> id, int row)
{
    m_listeventes->setRowCount(0);
    m_sales.clear();
    const auto sales = m_store.list();
    say(m_erreurliste, sales ? QString() : m_store.errorstring());
    if (sales)
        m_sales = *sales;
    say(m_aucunevente, sales && sales->empty() ? u"Aucune vente en attente d'envoi."_s : QString());

    m_listeventes->setRowCount(int(m_sales.size()));
    int selected = -1;
    for (int r = 0; r < int(m_sales.size()); ++r) {
        const KeptSale& sale = m_sales.at(size_t(r));
        if (id && sale.id == *id)
            selected = r;
        m_listeventes->setItem(r, 0, cell(client(sale)));
        QTableWidgetItem* amount = cell(sale.amount + u" €"_s);
        amount->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_listeventes->setItem(r, 1, amount);
        m_listeventes->setItem(r, 2, cell(sale.seller));
        m_listeventes->setItem(r, 3, cell(sale.number));
        m_listeventes->setItem(r, 4, cell(sale.kept.toLocalTime().toString(u"dd/MM/yyyy HH:mm:ss"_s)));
        // A failure may take several lines: one line in the list, the whole text as the tooltip.
        // A sale sent at the counter whose outcome the platform has not confirmed yet.
        const QString state = sale.held                           ? u"Envoi en cours"_s
                              : sale.kind == KeptSale::Kind::Sale ? u"À confirmer par la plateforme"_s
                                                                  : sale.failure.simplified();
        QTableWidgetItem* failure = cell(state);
        failure->setToolTip(sale.failure);
        m_listeventes->setItem(r, 5, failure);
    }
    if (selected < 0 && !m_sales.empty())
        selected = std::clamp(row, 0, int(m_sales.size()) - 1);
    if (selected >= 0)
        m_listeventes->setCurrentCell(selected, 0);
    selectionchanged();
}

int KeptSalesWindow::selectedrow() const
{
    const QModelIndexList rows = m_listeventes->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void KeptSalesWindow::selectionchanged()
{
    m_supprimer->setEnabled(selectedrow() >= 0);
}

bool KeptSalesWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_listeventes && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        supprimer();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void KeptSalesWindow::supprimer()
{
    const int row = selectedrow();
    if (row < 0)
        return;
    const KeptSale sale = m_sales.at(size_t(row));
    if (!m_dialogs.question(KeptSales::removequestion(sale)))
        return;
    switch (m_store.remove(sale.id)) {
    case KeptSales::Status::Done:
    case KeptSales::Status::None: // sent or deleted by another counter meanwhile
        fill(std::nullopt, row);
        break;
    case KeptSales::Status::Held:
        m_dialogs.information(
            u"Cette vente est en cours d'envoi à la plateforme : elle ne peut pas être supprimée maintenant."_s);
        fill(sale.id, row);
        break;
    case KeptSales::Status::Failed:
    default:
        m_dialogs.exception(m_store.errorstring());
        fill(sale.id, row);
        break;
    }
    emit changed();
}
