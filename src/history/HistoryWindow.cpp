#include "history/HistoryWindow.h"

HistoryWindow::HistoryWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("formhisto"));
    setWindowTitle(QStringLiteral("Historique "));
    resize(505, 231);
}
