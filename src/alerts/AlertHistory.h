#pragma once

#include "AlertEvent.h"

#include <QList>

// The alert list: one row per raised alert with the time it was cleared, newest first, at
// most MaxRows (older rows drop off). A clear finds the newest open raise of its interface and
// condition; a clear without one (the file began after the raise) is a row of its own.
class AlertHistory
{
public:
    static constexpr int MaxRows = 500;

    struct Row {
        AlertEvent event;    // the raise, or an unmatched clear
        QDateTime clearedAt; // invalid while the alert stands
    };

    void add(const AlertEvent &event);
    const QList<Row> &rows() const { return m_rows; }

private:
    QList<Row> m_rows;
};
