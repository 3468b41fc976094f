#pragma once

#include "api/JsonValue.h"

#include <QDialog>
#include <optional>

class Dialogs;
class FittedColumns;
class MemoryTable;
class QPushButton;
class QTableView;

// The history window: the shown member's events, newest first, in a read-only grid over the
// table historique. Not modal; closing it (by "Annuler" or the close box) empties the table.
class HistoryWindow final : public QDialog
{
    Q_OBJECT
public:
    HistoryWindow(MemoryTable& historique, Dialogs& dialogs, QWidget* parent = nullptr);

    // "HISTORIQUE" of the counter window with the member's event value: nothing when the member
    // reply had no "event", a message when it holds the empty string, otherwise execute.
    void historiquerequested(const std::optional<JsonValue>& eventlist);
    // Fills the table from the event value and shows the window. A value that cannot be read is
    // told in the general error display; the table stays empty and the window does not open.
    void execute(const JsonValue& eventlist);

    QTableView* DBGrid1() const { return m_DBGrid1; }
    QPushButton* Button1() const { return m_Button1; }

private:
    MemoryTable& m_historique;
    Dialogs& m_dialogs;
    QTableView* m_DBGrid1;
    QPushButton* m_Button1;
    FittedColumns* m_fit;
};
