#pragma once

#include "GraphSlotControl.h"

#include <QColor>
#include <QObject>
#include <QString>

#include <algorithm>
#include <array>

class QAction;
class QLabel;
class QMenu;
class QWidget;
class THistograph;
class TTransLabel;

// One of the 20 graph positions: the histogram, three caption strips over it, a see-through
// overlay that carries the context menu, and the percent label beside it.
struct GraphSlot {
    int number = 0; // 1 to 20
    THistograph *Graph = nullptr;
    TTransLabel *LastValuesCaption = nullptr;
    TTransLabel *NameCaption = nullptr;
    TTransLabel *ErrorCaption = nullptr;
    // Link health words ("Link down since ...", "Disabled", "Errors 3 · ..."): shown only
    // while it has a text.
    TTransLabel *HealthCaption = nullptr;
    TTransLabel *Overlay = nullptr;
    QLabel *PercentLabel = nullptr;
    QMenu *SlotMenu = nullptr;
    QAction *MaxValue10 = nullptr;
    QAction *MaxValue50 = nullptr;
    QAction *MaxValue100 = nullptr;
    QAction *MaxValueAuto = nullptr; // full scale follows the highest value in view
    QAction *EditDevice = nullptr;
    QAction *PollAgain = nullptr; // shown only while the slot stands stopped (red)
};

// The 20 graph slots of the main window, laid out as two columns of five on the window and
// one column of five on each of two side panels. The board shows values; it computes none.
class GraphBoard : public QObject, public GraphSlotControl
{
    Q_OBJECT

public:
    enum class Caption { LastValues, Name, Error, Health };
    // The background a running graph takes for its link: black, or a colour of its own for a
    // link that is down and for one that is disabled. Never the red of a failed reading.
    enum class LinkBackground { Normal, Down, Disabled };

    static constexpr int GraphWidth = 250;
    static constexpr int GraphHeight = 80;
    static const QColor NoInterfaceColor; // grey: no interface loaded for the slot
    static const QColor RunningColor;     // black
    static const QColor FailedColor;      // red
    static const QColor LinkDownColor;    // dark amber: the link is down
    static const QColor DisabledColor;    // dark slate blue: the link is switched off

    // Slots 1 to 10 go on mainArea, 11 to 15 on panel2, 16 to 20 on panel3.
    GraphBoard(QWidget *mainArea, QWidget *panel2, QWidget *panel3, QObject *parent = nullptr);

    GraphSlot &slot(int k) { return m_slots.at(std::size_t(k - 1)); }
    const GraphSlot &slot(int k) const { return m_slots.at(std::size_t(k - 1)); }

    // GraphSlotControl
    void setSlotRunning(int slot, bool running) override;
    QString errorCaption(int slot) const override;
    void setErrorCaption(int slot, const QString &text) override;

    // Slots 1 to n black, the rest grey.
    void activegraphs(int loadedInterfaces);
    void clearAll();
    void setActiveAll(bool active);
    void setBackgroundAll(const QColor &color);
    void setIntervalAll(int seconds);
    void setVertLinesIntervalAll(int seconds);
    void setHighValueAll(int value);
    void setLowValueAll(int value);
    void setGraphHighColorAll(const QColor &color);
    void setGraphNormalColorAll(const QColor &color);
    void setGraphLowColorAll(const QColor &color);
    // "In and out": every graph's second series (the output line) on or off, and its colour.
    void setSecondSeriesAll(bool on);
    void setSecondColorAll(const QColor &color);
    // The captions in bit/s are about twice as long as the percent ones: with wide on, the
    // last-values font is narrowed until the longest ("IN 9.99 Gbit/s (100 %) · OUT 9.99
    // Gbit/s (100 %)") fits the 250-pixel strip. false gives back the specified bold font.
    void setLastValuesWide(bool wide);
    void repaintAll();

    // Full scale of one slot: MaxValue, horizontal grid spacing and the percent label. Ends
    // "Max value auto" of the slot.
    void setSlotMaximum(int k, int maximum);
    // "Max value auto": the slot's full scale follows the highest value in its visible history
    // (see AutoScale), from now and after every tick, until a fixed maximum is chosen. Not
    // stored, like the other per-slot maxima.
    void setSlotAutoMaximum(int k);
    bool slotAutoMaximum(int k) const { return m_auto.at(std::size_t(k - 1)); }
    // Grid spacing: 10 at 100 %, else a fifth of the scale (2 at 10 %, 10 at 50 %, 1 at least).
    static int horizLinesFor(int maximum) { return maximum == 100 ? 10 : std::max(1, maximum / 5); }

    // A slot's link health: the background of its graph while it runs (a stopped, failed
    // graph stays red), the health caption (hidden when empty) and the tooltip over the
    // graph. Kept until changed, cleared or a device file load (activegraphs).
    void setLinkHealth(int k, LinkBackground background, const QString &caption,
                       const QString &toolTip);
    LinkBackground linkBackground(int k) const { return m_link.at(std::size_t(k - 1)); }
    void clearLinkHealth();

    void setCaptionsVisible(Caption which, bool visible);
    TTransLabel *caption(int k, Caption which) const;

private:
    void createSlot(GraphSlot &slot, QWidget *parent, int x, int y, int percentX);
    void applyMaximum(GraphSlot &slot, int maximum);
    void followHighest(int k);

    std::array<GraphSlot, GraphSlotControl::SlotCount> m_slots;
    std::array<LinkBackground, GraphSlotControl::SlotCount> m_link{};
    std::array<bool, GraphSlotControl::SlotCount> m_auto{};
};
