#pragma once

#include <QColor>
#include <QString>

class InterfaceTable;

// What the Options dialog changes outside itself: the graphs' thresholds and colours, the
// on-error mode of polling, the main window's start-file flag, and one row of the interface
// table. The main window implements it.
class OptionsTarget
{
public:
    virtual ~OptionsTarget() = default;

    virtual void setHighValueAll(int value) = 0;
    virtual void setLowValueAll(int value) = 0;
    virtual void setGraphHighColorAll(const QColor &color) = 0;
    virtual void setGraphNormalColorAll(const QColor &color) = 0;
    virtual void setGraphLowColorAll(const QColor &color) = 0;
    // Colour of the output line that "In and out" draws over the bars.
    virtual void setOutLineColorAll(const QColor &color) { (void)color; }
    // true: stop polling a failing interface; false: continue with zero values.
    virtual void setStopOnErrors(bool stop) = 0;
    virtual void setStartFileFlag(bool on) = 0;

    virtual InterfaceTable &interfaceTable() = 0;
    // A row's address, index, bandwidth or community was rewritten: readings in flight for
    // it are dropped.
    virtual void rowRewritten(int row) = 0;

    // The "64-bit counters" setting: each interface then uses the agent's 64-bit counters
    // where it has them.
    virtual void setCounters64(bool on) { (void)on; }
    // The "link health" setting: each poll then also reads link state, errors and discards.
    virtual void setLinkHealth(bool on) { (void)on; }
    // Which counters a table row is read with, for the operator ("" when unknown).
    virtual QString counterDescription(int row) const
    {
        (void)row;
        return QString();
    }

    // The "metrics address" setting ("" is off): returns why it cannot be served, "" when
    // it is.
    virtual QString setMetricsAddress(const QString &text)
    {
        (void)text;
        return QString();
    }

    // The program's one device-file chooser: the confirmed path, or empty after a cancel.
    virtual QString chooseDeviceFile() = 0;
    // Opens a file in the platform's text editor; whether it could be started.
    virtual bool openInTextEditor(const QString &path)
    {
        (void)path;
        return false;
    }
};
