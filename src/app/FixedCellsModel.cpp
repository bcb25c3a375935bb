#include "FixedCellsModel.h"

#include "InterfaceTable.h"

#include <QApplication>
#include <QBrush>
#include <QPalette>

QVariant FixedCellsModel::data(const QModelIndex &index, int role) const
{
    const bool fixed = index.isValid() && (index.row() == 0 || index.column() == 0);
    if (fixed && role == Qt::BackgroundRole)
        return QBrush(QApplication::palette().color(QPalette::Button));
    if (fixed && role == Qt::ForegroundRole)
        return QBrush(QApplication::palette().color(QPalette::ButtonText));
    // The header cells say what their column holds and in which unit.
    if (index.isValid() && index.row() == 0 && role == Qt::ToolTipRole) {
        const QString unit = Col::unitText(index.column());
        return unit.isEmpty() ? QVariant() : QVariant(unit);
    }
    return QIdentityProxyModel::data(index, role);
}
