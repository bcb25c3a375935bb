#pragma once

#include "SnmpExchange.h"
#include "SnmpOid.h"

#include <QList>
#include <QMap>
#include <QString>

#include <cstddef>
#include <vector>

// Reads several columns of one table side by side, the way a GetBulk (or a v1 GetNext)
// with one binding per column returns them: each reply holds rows of one value per column
// asked, and every column advances from its own last object identifier until it leaves its
// subtree. Only single-index rows are kept (the value by its index), which is what the
// interface tables have. Pure bookkeeping: the requests go out elsewhere.
class BulkColumns
{
public:
    enum class Step {
        More,   // another request is needed for the columns not at their end
        Done,   // every column reached its end
        Failed, // the answer did not advance or held nothing (message in *error)
    };

    void reset(const QList<SnmpOid> &roots);

    // The names of the next request: the position of every column not at its end, in column
    // order. Remembers which columns they were for take().
    QList<SnmpOid> nextNames();
    // Takes a reply's bindings from `first` on (after any non-repeaters).
    Step take(const std::vector<SnmpBinding> &bindings, std::size_t first, QString *error);
    // Every column asked for is at its end (v1's noSuchName at the end of the agent's view).
    void endAsked();

    // Complete rows the last reply held, and whether a column reached its end in it.
    int lastRows() const { return m_lastRows; }
    bool lastEndedColumn() const { return m_lastEnded; }

    int columnCount() const { return int(m_columns.size()); }
    // The values of column i by interface index.
    const QMap<quint32, SnmpValue> &values(int i) const { return m_columns[std::size_t(i)].rows; }

private:
    struct Column {
        SnmpOid root;
        SnmpOid position;
        bool done = false;
        QMap<quint32, SnmpValue> rows;
    };
    std::vector<Column> m_columns;
    std::vector<int> m_asked;
    int m_lastRows = 0;
    bool m_lastEnded = false;
};
