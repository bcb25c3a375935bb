#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>

#include <cstdint>
#include <optional>

struct InterfaceReading;
struct PollResult;

// What a graph shows of its link: the look of its background and the words on it.
enum class LinkLook {
    Normal,   // up, or not known: the graph keeps its usual colours
    Down,     // oper not up while admin up: the link-down colour
    Disabled, // admin down: the disabled colour
};

struct LinkHealthView {
    LinkLook look = LinkLook::Normal;
    // "Link down since hh:mm:ss" ("Link down (at start of polling)" for a link found down at
    // its first known state, when it went down is not known), "Disabled", or, with the link
    // up, "Errors 3 · Discards 120 (last poll)" when the last poll counted any; "" for nothing
    // to say.
    QString caption;
    // The last poll's counts, the totals since Start polling, the link state and the time it
    // was first seen ("" before the first poll).
    QString toolTip;
};

// Listens to finished polls and keeps, per table row, the link state with the time it was
// first seen in it, and the error and discard totals since Start polling. It reads only the
// poll results; the window shows what view() says.
class LinkHealthWatch
{
public:
    // Forgets states and totals (Start polling, a device file load).
    void reset() { m_rows.clear(); }

    // Takes one finished poll. Returns the status-bar text naming the interfaces whose link
    // state changed at this poll ("" for none): "Link state: row 3 (uplink) down, row 5
    // (10.0.0.2 interface 1) up". A state seen for the first time is named only when it is
    // not up; a poll without a reading changes no state.
    QString take(const PollResult &result);

    LinkHealthView view(int row) const;

    enum class State { Unknown, Up, Down, Disabled, Other };
    // The state of one reading: admin down is Disabled; oper up is Up; oper down,
    // notPresent or lowerLayerDown is Down; testing, unknown or dormant is Other.
    static State stateOf(const InterfaceReading &reading);

private:
    struct Row {
        State state = State::Unknown;
        QDateTime since; // the poll at which state was first seen
        // Whether since is when the state began: a change from an earlier known state was
        // seen. The first known state was already there before polling saw it.
        bool sinceKnown = false;
        std::optional<int> admin, oper;
        std::optional<std::uint64_t> last[4]; // in/out errors, in/out discards of the last poll
        std::uint64_t total[4] = {0, 0, 0, 0};
        bool anyKnown[4] = {false, false, false, false};
        bool reading = false; // the last poll had a reading for the row
    };
    QHash<int, Row> m_rows;
};
