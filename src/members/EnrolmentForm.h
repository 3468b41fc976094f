#pragma once

#include <QDialog>

// The enrolment form.
class EnrolmentForm final : public QDialog
{
    Q_OBJECT
public:
    explicit EnrolmentForm(QWidget* parent = nullptr);
};
