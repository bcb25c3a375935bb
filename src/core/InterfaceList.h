#pragma once

#include "MaxInterfaces.h"

#include <QString>

#include <vector>

// The loaded interfaces in table order: entry p belongs to table row p + 1 and graph slot
// p + 1. A checked entry is polled. Changing a check mark from code runs no handler.
class InterfaceList
{
public:
    static constexpr int MaxEntries = MaxInterfaces;

    struct Entry {
        QString text;
        bool checked = true;
    };

    int count() const { return int(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }
    void clear() { m_entries.clear(); }

    // Appends a checked entry; ignored once 20 entries are held.
    void append(const QString &text);

    const QString &text(int p) const { return m_entries.at(std::size_t(p)).text; }
    bool isChecked(int p) const;
    void setChecked(int p, bool checked);

private:
    std::vector<Entry> m_entries;
};
