#pragma once

#include <QStyledItemDelegate>

// How the children grid draws and edits its cells: "Suppression" as a check box that is toggled,
// never edited as text; "Sexe" with the pick list "M", "F"; "Date Naissance" shown as dd/mm/yyyy,
// typed through a mask and stored as its 8 digits.
class ChildrenDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Columns of the `enfants` table.
    static constexpr int suppressioncolumn = 0;
    static constexpr int sexecolumn = 2;
    static constexpr int datecolumn = 3;

    // 8 digits ddmmyyyy as dd/mm/yyyy; anything else as it is.
    static QString shown(const QString& digits);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
