#pragma once

#include "LinkHealthWatch.h"

#include <QString>

#include <functional>

class GraphBoard;
struct PollResult;

// Shows the link health of finished polls on the graph board: per slot the background for a
// link that is down or disabled, the caption and the tooltip, and in the status bar the
// interfaces whose link state changed. It reads only the poll results. While switched off it
// shows nothing and the board looks as without link health.
class LinkHealthDisplay
{
public:
    // status receives the text for the first status-bar panel.
    LinkHealthDisplay(GraphBoard &board, std::function<void(const QString &text)> status);

    void setEnabled(bool on);
    bool isEnabled() const { return m_enabled; }

    // Forgets states and totals and clears the board's link health (Start polling, a load).
    void reset();

    // Takes one finished poll and shows it (nothing while switched off).
    void show(const PollResult &result);

    const LinkHealthWatch &watch() const { return m_watch; }

private:
    GraphBoard &m_board;
    std::function<void(const QString &text)> m_status;
    LinkHealthWatch m_watch;
    bool m_enabled = false;
};
