#include "counter/ProductDelegate.h"

#include "counter/SaleLine.h"
#include "counter/SaleLinesModel.h"

#include <QLineEdit>

void ProductDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    const auto* lines = qobject_cast<const SaleLinesModel*>(model);
    const auto* line = qobject_cast<const QLineEdit*>(editor);
    if (lines && line) {
        if (const std::optional<QString> why =
                SaleLine::unreadable(SaleLinesModel::field(index), line->text())) {
            emit refused(index, line->text(), *why);
            return;
        }
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}
