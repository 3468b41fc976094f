#include "members/EnrolmentForm.h"

EnrolmentForm::EnrolmentForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("formmember"));
    setWindowTitle(QStringLiteral("Formulaire d'adhésion"));
    resize(600, 500);
}
