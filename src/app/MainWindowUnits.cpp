// The operator's units: "In and out" (the output drawn as a line over the input bars),
// "Rates in bit/s" for the last-values captions, the output line's colour, and the graph
// tooltips that say what each port is doing.

#include "MainWindow.h"

#include "InterfaceList.h"
#include "InterfaceTable.h"


#include "ColourResolve.h"
#include "ColourText.h"
#include "ErrorReport.h"
#include "GraphBoard.h"
#include "Histograph.h"
#include "PollRun.h"
#include "SettingValues.h"
#include "SettingsKeys.h"
#include "TransLabel.h"

#include <QAction>
#include <QCheckBox>
#include <QCursor>
#include <QDateTime>
#include <QRadioButton>
#include <QToolTip>

void TForm1::InOut1Click()
{
    RadioButtonInOut->setChecked(true);
    action(QStringLiteral("InOut1"))->setChecked(true);
}

void TForm1::Ratesinbits1Click()
{
    CheckBoxRatesInBits->toggle(); // runs the switch, which sets the check mark
}

void TForm1::CheckBoxRatesInBitsClick()
{
    ErrorReport::guarded([this] {
        const bool on = CheckBoxRatesInBits->isChecked();
        action(QStringLiteral("Ratesinbits1"))->setChecked(on);
        m_board->setLastValuesWide(on);
        // The captions change at once, not only at the next poll.
        for (int k = 1; k <= GraphSlotControl::SlotCount; ++k) {
            m_board->slot(k).LastValuesCaption->setCaption(
                on ? Calculation::ratesCaption(m_table, k)
                   : Calculation::lastValuesCaption(m_table, k));
        }
        storeSetting(SettingsKeys::RatesInBits, SettingValues::flagText(on));
    });
}

void TForm1::setOutLineColorAll(const QColor &color)
{
    m_board->setSecondColorAll(color);
}

void TForm1::applyUnitsSetting(QStringView name, const QString &text)
{
    if (name == SettingsKeys::RatesInBits) {
        if (const auto on = SettingValues::flag(text))
            CheckBoxRatesInBits->setChecked(*on);
    } else if (name == SettingsKeys::OutLineColor) {
        setOutLineColorAll(resolveColour(colourFromText(text)));
    }
}

void TForm1::connectUnits()
{
    PollRun *run = m_pollRun.get();
    connect(run, &PollRun::lastValuesShown, this, [this] { afterCalculateUnits(); });
    connect(run, &PollRun::graphValuesShown, this, [this] { toGraphOutLine(); });
}

void TForm1::startUnits()
{
    m_activity.reset();
    refreshGraphTooltips();
}

void TForm1::afterCalculateUnits()
{
    const QDateTime now = QDateTime::currentDateTime();
    for (int k = 1; k <= GraphSlotControl::SlotCount; ++k) {
        if (CheckBoxRatesInBits->isChecked())
            m_board->slot(k).LastValuesCaption->setCaption(Calculation::ratesCaption(m_table, k));
        // A row counts as read when it is polled and shows no error.
        if (k <= m_list.count() && m_list.isChecked(k - 1) && m_board->errorCaption(k).isEmpty())
            m_activity.record(m_table, k, now);
    }
    refreshGraphTooltips();
}

void TForm1::toGraphOutLine()
{
    for (int k = 1; k <= m_list.count() && k <= GraphSlotControl::SlotCount; ++k) {
        THistograph *graph = m_board->slot(k).Graph;
        if (m_list.isChecked(k - 1) && graph->SecondSeries())
            graph->setSecondValue(Calculation::shownValue(m_table.cell(Col::OutUtil, k)));
    }
}

void TForm1::refreshGraphTooltips()
{
    for (int k = 1; k <= GraphSlotControl::SlotCount; ++k) {
        TTransLabel *overlay = m_board->slot(k).Overlay;
        const QString text = m_activity.tooltip(
            m_table, k, m_pollRun->poller().counters().description(k), m_board->errorCaption(k));
        overlay->setToolTip(text);
        // A tooltip on view follows the poll instead of showing the reading it opened with.
        if (QToolTip::isVisible() && overlay->underMouse())
            QToolTip::showText(QCursor::pos(), text, overlay);
    }
}
