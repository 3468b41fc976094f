#include "members/ChildrenDelegate.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPainter>

using namespace Qt::StringLiterals;

QString ChildrenDelegate::shown(const QString& digits)
{
    if (digits.size() != 8)
        return digits;
    return digits.left(2) + u'/' + digits.mid(2, 2) + u'/' + digits.mid(4);
}

void ChildrenDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.column() == suppressioncolumn)
        option->text.clear();
    else if (index.column() == datecolumn)
        option->text = shown(index.data().toString());
}

void ChildrenDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    if (index.column() != suppressioncolumn)
        return;
    QStyleOptionButton box;
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    // The box in the middle of its cell, whatever the row's height.
    const QSize indicator(style->pixelMetric(QStyle::PM_IndicatorWidth, &box, option.widget),
                          style->pixelMetric(QStyle::PM_IndicatorHeight, &box, option.widget));
    box.rect = QRect(QPoint(), indicator.boundedTo(option.rect.size()));
    box.rect.moveCenter(option.rect.center());
    box.state = QStyle::State_Enabled | (index.data().toInt() != 0 ? QStyle::State_On : QStyle::State_Off);
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, option.widget);
}

QWidget* ChildrenDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const
{
    switch (index.column()) {
    case suppressioncolumn:
        return nullptr;
    case sexecolumn: {
        auto* list = new QComboBox(parent);
        list->addItems({u"M"_s, u"F"_s});
        return list;
    }
    case datecolumn: {
        auto* date = new QLineEdit(parent);
        date->setInputMask(u"99/99/0000;_"_s);
        return date;
    }
    default:
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
}

void ChildrenDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* list = qobject_cast<QComboBox*>(editor); list && index.column() == sexecolumn) {
        list->setCurrentIndex(list->findText(index.data().toString()));
        return;
    }
    if (auto* date = qobject_cast<QLineEdit*>(editor); date && index.column() == datecolumn) {
        date->setText(index.data().toString());
        date->setCursorPosition(0);
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void ChildrenDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                    const QModelIndex& index) const
{
    if (auto* list = qobject_cast<QComboBox*>(editor); list && index.column() == sexecolumn) {
        model->setData(index, list->currentText());
        return;
    }
    if (auto* date = qobject_cast<QLineEdit*>(editor); date && index.column() == datecolumn) {
        model->setData(index, date->text().remove(u'/').trimmed());
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}
