#include "InterfaceList.h"

void InterfaceList::append(const QString &text)
{
    if (count() < MaxEntries)
        m_entries.push_back({text, true});
}

bool InterfaceList::isChecked(int p) const
{
    return p >= 0 && p < count() && m_entries[std::size_t(p)].checked;
}

void InterfaceList::setChecked(int p, bool checked)
{
    if (p >= 0 && p < count())
        m_entries[std::size_t(p)].checked = checked;
}
