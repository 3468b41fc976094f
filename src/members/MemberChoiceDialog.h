#pragma once

#include <QDialog>

// The member choice dialog.
class MemberChoiceDialog final : public QDialog
{
    Q_OBJECT
public:
    explicit MemberChoiceDialog(QWidget* parent = nullptr);
};
