#pragma once

#include <QIdentityProxyModel>

// Shows the interface table's header row and number column in the style of fixed header
// cells, as a spreadsheet grid would; the cells themselves are passed through unchanged.
class FixedCellsModel : public QIdentityProxyModel
{
    Q_OBJECT

public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &index, int role) const override;
};
