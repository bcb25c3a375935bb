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
// subtree or passes the last index of its stripe. A stripe (the rows after one index up to
// another) lets several requests read parts of the same table at once. Only single-index
// rows are kept (the value by its index), which is what the interface tables have. Pure
// bookkeeping: the requests go out elsewhere.
class BulkColumns
{
public:
    enum class Step {
        More,   // another request is needed for the columns not at their end
        Done,   // every column reached its end
        Failed, // the answer did not advance or held nothing (message in *error)
    };

    // after: the stripe starts after this index (0: at the first row); last: it ends with
    // this index (0: at the end of the table).
    void reset(const QList<SnmpOid> &roots, quint32 after = 0, quint32 last = 0);

    // The names of the next request: the position of every column not at its end, in column
    // order. Remembers which columns they were for take().
    QList<SnmpOid> nextNames();
    // Takes a reply's bindings from `first` on (after any non-repeaters). The agent read its
    // rows one after another between fromMs and toMs; each row's time is kept (per row of
    // the first column), spread evenly over that span.
    Step take(const std::vector<SnmpBinding> &bindings, std::size_t first, qint64 fromMs,
              qint64 toMs, QString *error);
    // Every column asked for is at its end (v1's noSuchName at the end of the agent's view).
    void endAsked();

    // Complete rows the last reply held, and whether a column reached its end in it.
    int lastRows() const { return m_lastRows; }
    bool lastEndedColumn() const { return m_lastEnded; }

    int columnCount() const { return int(m_columns.size()); }
    // The values of column i by interface index.
    const QMap<quint32, SnmpValue> &values(int i) const { return m_columns[std::size_t(i)].rows; }
    // When each row of the first column was read.
    const QMap<quint32, qint64> &readAt() const { return m_readAt; }

private:
    struct Column {
        SnmpOid root;
        SnmpOid position;
        bool done = false;
        QMap<quint32, SnmpValue> rows;
    };
    std::vector<Column> m_columns;
    std::vector<int> m_asked;
    QMap<quint32, qint64> m_readAt;
    quint32 m_last = 0;
    int m_lastRows = 0;
    bool m_lastEnded = false;
};
