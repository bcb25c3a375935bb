#include "LinkHealthDisplay.h"

#include "GraphBoard.h"
#include "GraphSlotControl.h"
#include "PollResult.h"

#include <utility>

LinkHealthDisplay::LinkHealthDisplay(GraphBoard &board,
                                     std::function<void(const QString &text)> status)
    : m_board(board), m_status(std::move(status))
{
}

void LinkHealthDisplay::setEnabled(bool on)
{
    if (on == m_enabled)
        return;
    m_enabled = on;
    reset();
}

void LinkHealthDisplay::reset()
{
    m_watch.reset();
    m_board.clearLinkHealth();
}

void LinkHealthDisplay::show(const PollResult &result)
{
    if (!m_enabled)
        return;
    const QString changes = m_watch.take(result);
    for (const InterfaceReading &reading : result.interfaces) {
        if (reading.row < 1 || reading.row > GraphSlotControl::SlotCount)
            continue;
        const LinkHealthView view = m_watch.view(reading.row);
        const auto background = view.look == LinkLook::Down ? GraphBoard::LinkBackground::Down
                                : view.look == LinkLook::Disabled
                                    ? GraphBoard::LinkBackground::Disabled
                                    : GraphBoard::LinkBackground::Normal;
        m_board.setLinkHealth(reading.row, background, view.caption, view.toolTip);
    }
    if (!changes.isEmpty() && m_status)
        m_status(changes);
}
