#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class MemoryTable;
class QPushButton;
class QTableView;

// The member choice dialog: the members of a list reply in surname, first-name order; the user
// picks one with "Valider", Enter or a double click, or leaves with "Annuler" or the close box.
class MemberChoiceDialog final : public QDialog
{
    Q_OBJECT
public:
    // listeMembre: the data module's table, shown by the grid; it is empty except while the
    // dialog is open.
    explicit MemberChoiceDialog(MemoryTable& listeMembre, QWidget* parent = nullptr);

    // Lists the rows (field order of listeMembre) and waits for the user. The id of the member
    // chosen, or nothing when the dialog closed without a choice; a row without an id cannot be
    // chosen, so an empty list closes as "Annuler" does.
    std::optional<QString> choose(const std::vector<QStringList>& rows);

    QTableView* grid() const { return m_grid; }

public slots:
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void btnchoisirClick();

    MemoryTable& m_table;
    QTableView* m_grid;
    QPushButton* m_btnannuler;
    QPushButton* m_btnchoisir;
    bool m_chosen = false;
    QString m_chosenid;
};
