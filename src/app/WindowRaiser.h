#pragma once

#include <QElapsedTimer>
#include <QObject>

class QWidget;

// Brings a window to the front for another program's sake (a later start, a click on a
// desktop notification): out of the minimised state, shown, raised and active, with a modal
// window above it raised as well. At most once a second: a flood of such requests costs the
// window manager one raise a second, not one per request.
class WindowRaiser : public QObject
{
public:
    static constexpr int MinGapMs = 1000;

    // The raiser of window, made as its child at the first use.
    static WindowRaiser &of(QWidget &window);

    // Raises the window unless that was done less than MinGapMs ago; true when it did.
    bool raise();

private:
    explicit WindowRaiser(QWidget &window);

    QWidget &m_window;
    QElapsedTimer m_last; // since the last raise; invalid before the first
};
