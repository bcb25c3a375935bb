#pragma once

#include "PortActivity.h"

#include <QObject>

class GraphBoard;
class InterfaceList;
class InterfaceTable;
class PollRun;

// Shows the values of every poll on the graph board: the last-values captions (as rates in
// bit/s when the operator chose them), the bars, the output line that "In and out" draws over
// them, and the tooltips that say what each port is doing. It follows the poll run's signals;
// the window only switches the units.
class PollValuesDisplay : public QObject
{
    Q_OBJECT

public:
    // board, table, list and run must outlive the display.
    PollValuesDisplay(GraphBoard &board, const InterfaceTable &table, const InterfaceList &list,
                      PollRun &run, QObject *parent = nullptr);

    // "Rates in bit/s": the captions change at once, not only at the next poll.
    void setRatesInBits(bool on);
    bool ratesInBits() const { return m_ratesInBits; }

    // Start polling: what the ports did is gathered afresh.
    void start();
    // A device file was loaded: the captions show the reset values and the tooltips the new
    // interfaces, without the peaks of the ones before.
    void interfacesLoaded();
    const PortActivity &portActivity() const { return m_activity; }

private:
    void showLastValues(const QStringList &captions);
    // A slot's caption in the chosen unit, or why its row is not measurable.
    QString valuesCaption(int row) const;
    void showLastValuesFromTable();
    void recordActivity();
    void showOutLine();
    void refreshTooltips();

    GraphBoard &m_board;
    const InterfaceTable &m_table;
    const InterfaceList &m_list;
    PollRun &m_run;
    PortActivity m_activity;
    bool m_ratesInBits = false;
};
