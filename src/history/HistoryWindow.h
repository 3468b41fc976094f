#pragma once

#include <QDialog>

// The history window.
class HistoryWindow final : public QDialog
{
    Q_OBJECT
public:
    explicit HistoryWindow(QWidget* parent = nullptr);
};
