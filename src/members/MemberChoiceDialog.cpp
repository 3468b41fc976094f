#include "members/MemberChoiceDialog.h"

MemberChoiceDialog::MemberChoiceDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("choixmembre"));
    setWindowTitle(QStringLiteral("Choix Membre :"));
    resize(505, 169);
}
