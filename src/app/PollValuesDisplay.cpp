#include "PollValuesDisplay.h"

#include "Calculation.h"
#include "GraphBoard.h"
#include "Histograph.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"
#include "PollRun.h"
#include "TransLabel.h"

#include <QCursor>
#include <QDateTime>
#include <QToolTip>

PollValuesDisplay::PollValuesDisplay(GraphBoard &board, const InterfaceTable &table,
                                     const InterfaceList &list, PollRun &run, QObject *parent)
    : QObject(parent), m_board(board), m_table(table), m_list(list), m_run(run)
{
    connect(&run, &PollRun::lastValuesShown, this, [this](const QStringList &captions) {
        showLastValues(captions);
        // After the board took the poll's captions: the units and the port activity.
        recordActivity();
    });
    connect(&run, &PollRun::graphValuesShown, this,
            [this](const QList<PollRun::SlotValue> &values) {
                for (const PollRun::SlotValue &v : values)
                    m_board.slot(v.slot).Graph->setValue(v.value);
                showOutLine();
            });
}

void PollValuesDisplay::setRatesInBits(bool on)
{
    m_ratesInBits = on;
    m_board.setLastValuesWide(on);
    showLastValuesFromTable();
}

void PollValuesDisplay::showLastValuesFromTable()
{
    for (int k = 1; k <= GraphSlotControl::SlotCount; ++k)
        m_board.slot(k).LastValuesCaption->setCaption(valuesCaption(k));
}

QString PollValuesDisplay::valuesCaption(int row) const
{
    // A row that is not measurable says why in either unit.
    const QString notMeasurable = m_run.notMeasurableCaption(row);
    if (!notMeasurable.isEmpty())
        return notMeasurable;
    return m_ratesInBits ? Calculation::ratesCaption(m_table, row)
                         : Calculation::lastValuesCaption(m_table, row);
}

void PollValuesDisplay::start()
{
    m_activity.reset();
    refreshTooltips();
}

void PollValuesDisplay::interfacesLoaded()
{
    m_activity.reset();
    showLastValuesFromTable();
    refreshTooltips();
}

void PollValuesDisplay::showLastValues(const QStringList &captions)
{
    for (int k = 1; k <= GraphSlotControl::SlotCount && k <= captions.size(); ++k)
        m_board.slot(k).LastValuesCaption->setCaption(captions.at(k - 1));
}

void PollValuesDisplay::recordActivity()
{
    const QDateTime now = QDateTime::currentDateTime();
    for (int k = 1; k <= GraphSlotControl::SlotCount; ++k) {
        if (m_ratesInBits)
            m_board.slot(k).LastValuesCaption->setCaption(valuesCaption(k));
        // A row counts as read when it is polled, shows no error and gives a rate.
        if (k <= m_list.count() && m_list.isChecked(k - 1) && m_board.errorCaption(k).isEmpty() &&
            m_run.notMeasurableText(k).isEmpty())
            m_activity.record(m_table, k, now);
    }
    refreshTooltips();
}

void PollValuesDisplay::showOutLine()
{
    for (int k = 1; k <= m_list.count() && k <= GraphSlotControl::SlotCount; ++k) {
        THistograph *graph = m_board.slot(k).Graph;
        if (m_list.isChecked(k - 1) && graph->SecondSeries())
            graph->setSecondValue(Calculation::shownValue(m_table.cell(Col::OutUtil, k)));
    }
}

void PollValuesDisplay::refreshTooltips()
{
    for (int k = 1; k <= GraphSlotControl::SlotCount; ++k) {
        TTransLabel *overlay = m_board.slot(k).Overlay;
        const QString notMeasurable = m_run.notMeasurableText(k);
        const QString error = m_board.errorCaption(k).isEmpty() && !notMeasurable.isEmpty()
                                  ? QStringLiteral("Not measurable: ") + notMeasurable
                                  : m_board.errorCaption(k);
        const QString text =
            m_activity.tooltip(m_table, k, m_run.poller().counters().description(k), error);
        overlay->setToolTip(text);
        // A tooltip on view follows the poll instead of showing the reading it opened with.
        if (QToolTip::isVisible() && overlay->underMouse())
            QToolTip::showText(QCursor::pos(), text, overlay);
    }
}
