#include "AlertHistory.h"

void AlertHistory::add(const AlertEvent &event)
{
    if (event.state == AlertState::Cleared) {
        const QString key = event.key();
        for (Row &row : m_rows) {
            if (row.event.state == AlertState::Raised && !row.clearedAt.isValid() &&
                row.event.key() == key) {
                row.clearedAt = event.time;
                return;
            }
        }
    }
    Row row{event, event.state == AlertState::Cleared ? event.time : QDateTime()};
    m_rows.prepend(row);
    if (m_rows.size() > MaxRows)
        m_rows.resize(MaxRows);
}
