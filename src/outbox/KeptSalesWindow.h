#pragma once

#include "outbox/KeptSales.h"

#include <QDialog>
#include <optional>
#include <vector>

class Dialogs;
class QLabel;
class QPushButton;
class QTableWidget;

// The sales kept while the platform could not be reached, oldest first, with their last failure;
// the pharmacist may delete one that must never be sent. The counter calls reload() and then
// exec().
class KeptSalesWindow final : public QDialog
{
    Q_OBJECT
public:
    KeptSalesWindow(KeptSales& store, Dialogs& dialogs, QWidget* parent = nullptr);

    // Reads the sales again; the sale selected stays selected while it is there.
    void reload();

    QTableWidget* listeventes() const { return m_listeventes; }

signals:
    // A sale was deleted, or may have been: the number of sales waiting may have changed.
    void changed();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Fills the table from the file and selects the sale `id`, or else the row `row` (the last
    // one when there are fewer).
    void fill(std::optional<qint64> id, int row);
    // The row selected, -1 for none.
    int selectedrow() const;
    void supprimer();
    void selectionchanged();

    KeptSales& m_store;
    Dialogs& m_dialogs;
    QTableWidget* m_listeventes;
    QLabel* m_erreurliste;
    QLabel* m_aucunevente;
    QPushButton* m_supprimer;
    QPushButton* m_fermer;
    // The sales shown, row for row.
    std::vector<KeptSale> m_sales;
};
