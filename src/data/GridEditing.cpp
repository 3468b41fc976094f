#include "data/GridEditing.h"

#include <QAbstractItemDelegate>
#include <QAbstractItemView>
#include <QWidget>

bool GridEditing::commit(QAbstractItemView& view)
{
    // Cell editors are the visible direct children of the viewport; a closed one is hidden until
    // it goes.
    QWidget* open = nullptr;
    for (QWidget* child : view.viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible() && !child->isWindow())
            open = child;
    }
    QAbstractItemDelegate* delegate = open ? view.itemDelegateForIndex(view.currentIndex()) : nullptr;
    if (!delegate)
        return false;
    emit delegate->commitData(open);
    emit delegate->closeEditor(open, QAbstractItemDelegate::NoHint);
    return true;
}
