#include "counter/ProductDelegate.h"

#include "data/MemoryTable.h"

#include <QLineEdit>

void ProductDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    const auto* table = qobject_cast<const MemoryTable*>(model);
    const auto* line = qobject_cast<const QLineEdit*>(editor);
    if (table && line) {
        if (const std::optional<QString> why = table->unreadable(index.column(), line->text())) {
            emit refused(index, line->text(), *why);
            return;
        }
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}
