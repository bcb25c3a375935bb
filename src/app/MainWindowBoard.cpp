// The graph board's handlers: the "to graph" step with the logs, reset, the board-wide
// choices (shown value, units, maximum, number of graphs, captions) and show more / show less.

#include "MainWindow.h"

#include "InterfaceTable.h"

#include "InterfaceList.h"

#include "PollRun.h"

#include "AnalysisLog.h"
#include "Calculation.h"
#include "ErrorReport.h"
#include "GraphBoard.h"
#include "Histograph.h"
#include "PollValuesDisplay.h"
#include "SettingValues.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"
#include "TransLabel.h"
#include "UtilisationLog.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>

void TForm1::Activegraphs()
{
    m_board->activegraphs(m_list.count());
}

void TForm1::Button6Click()
{
    if (deferredUntilPollEnds(&TForm1::Button6Click))
        return;
    m_board->clearAll();
    m_board->setActiveAll(false);
    for (int row = 1; row <= InterfaceTable::InterfaceRows; ++row)
        m_table.resetValueColumns(row);
}

void TForm1::Button5Click()
{
    m_pollRun->toGraph();
}

void TForm1::writeutillog()
{
    m_pollRun->writeUtilisationLog();
}

void TForm1::writeanallog()
{
    m_pollRun->writeAnalysisLog();
}

void TForm1::CheckBoxUtilLogClick()
{
    ErrorReport::guarded([this] {
        const bool on = CheckBoxUtilLog->isChecked();
        m_pollRun->setLogs(on, CheckBoxAnalysisLog->isChecked());
        action(QStringLiteral("Writeutillog1"))->setChecked(on);
        storeSetting(SettingsKeys::WriteUtilLog, SettingValues::flagText(on));
    });
}

void TForm1::CheckBoxAnalysisLogClick()
{
    ErrorReport::guarded([this] {
        const bool on = CheckBoxAnalysisLog->isChecked();
        m_pollRun->setLogs(CheckBoxUtilLog->isChecked(), on);
        action(QStringLiteral("Writeanalysislog1"))->setChecked(on);
        storeSetting(SettingsKeys::WriteAnalysisLog, SettingValues::flagText(on));
    });
}

void TForm1::Writeutillog1Click()
{
    CheckBoxUtilLog->toggle();
}

void TForm1::Writeanalysislog1Click()
{
    CheckBoxAnalysisLog->toggle();
}

// --- Shown value ----------------------------------------------------------------------------

void TForm1::RadioButton9Clic()
{
    if (deferredUntilPollEnds(&TForm1::RadioButton9Clic))
        return;
    ErrorReport::guarded([this] {
        // The graphs start afresh with the new quantity; the descriptions stay, as every log,
        // alert, tooltip and list takes them from the table.
        m_board->clearAll();
        for (int row = 1; row <= InterfaceTable::InterfaceRows; ++row)
            m_table.resetValueColumns(row);
        using SettingValues::ShownValue;
        const ShownValue value = RadioButton9->isChecked()       ? ShownValue::In
                                 : RadioButton10->isChecked()    ? ShownValue::Out
                                 : RadioButtonInOut->isChecked() ? ShownValue::InOut
                                                                 : ShownValue::Combined;
        // "In and out": the input as the bars, the output as the line over them.
        m_pollRun->setShownColumn(value == ShownValue::In || value == ShownValue::InOut
                                      ? Col::InUtil
                                  : value == ShownValue::Out ? Col::OutUtil
                                                             : Col::CombinedUtil);
        m_board->setSecondSeriesAll(value == ShownValue::InOut);
        action(QStringLiteral("InOut1"))->setChecked(value == ShownValue::InOut);
        action(QStringLiteral("In1"))->setChecked(value == ShownValue::In);
        action(QStringLiteral("Out1"))->setChecked(value == ShownValue::Out);
        action(QStringLiteral("Combined1"))->setChecked(value == ShownValue::Combined);
        storeSetting(SettingsKeys::Values, SettingValues::shownValueText(value));
    });
}

void TForm1::In1Click()
{
    RadioButton9->setChecked(true);
    action(QStringLiteral("In1"))->setChecked(true);
}

void TForm1::Out1Click()
{
    RadioButton10->setChecked(true);
    action(QStringLiteral("Out1"))->setChecked(true);
}

void TForm1::Combined1Click()
{
    RadioButton11->setChecked(true);
    action(QStringLiteral("Combined1"))->setChecked(true);
}

void TForm1::InOut1Click()
{
    RadioButtonInOut->setChecked(true);
    action(QStringLiteral("InOut1"))->setChecked(true);
}

// --- Units ----------------------------------------------------------------------------------

void TForm1::Ratesinbits1Click()
{
    CheckBoxRatesInBits->toggle(); // runs the switch, which sets the check mark
}

void TForm1::CheckBoxRatesInBitsClick()
{
    ErrorReport::guarded([this] {
        const bool on = CheckBoxRatesInBits->isChecked();
        action(QStringLiteral("Ratesinbits1"))->setChecked(on);
        m_pollValues->setRatesInBits(on);
        storeSetting(SettingsKeys::RatesInBits, SettingValues::flagText(on));
    });
}

void TForm1::setOutLineColorAll(const QColor &color)
{
    m_board->setSecondColorAll(color);
}

// --- Graph maximum --------------------------------------------------------------------------

int TForm1::selectedMaximum() const
{
    if (RadioButton7->isChecked())
        return 50;
    if (RadioButton12->isChecked())
        return 10;
    return 100;
}

void TForm1::RadioButton8Click()
{
    if (deferredUntilPollEnds(&TForm1::RadioButton8Click))
        return;
    ErrorReport::guarded([this] {
        const int maximum = selectedMaximum();
        action(QStringLiteral("N1001"))->setChecked(maximum == 100);
        action(QStringLiteral("N501"))->setChecked(maximum == 50);
        action(QStringLiteral("N101"))->setChecked(maximum == 10);
        for (int k = 1; k <= GraphSlotControl::SlotCount; ++k)
            m_board->setSlotMaximum(k, maximum);
        storeSetting(SettingsKeys::GMaxValue, SettingValues::wholeText(maximum));
    });
}

namespace
{
// Selects a radio button; when it is selected already, runs its change all the same.
template <typename Handler> void selectAndApply(QRadioButton *button, Handler apply)
{
    if (button->isChecked())
        apply();
    else
        button->setChecked(true);
}
} // namespace

void TForm1::N101Click()
{
    selectAndApply(RadioButton12, [this] { RadioButton8Click(); });
}

void TForm1::N501Click()
{
    selectAndApply(RadioButton7, [this] { RadioButton8Click(); });
}

void TForm1::N1001Click()
{
    selectAndApply(RadioButton8, [this] { RadioButton8Click(); });
}

void TForm1::setSlotMaximum(int slot, int maximum)
{
    m_board->setSlotMaximum(slot, maximum);
}

// --- Number of graphs and show more / less --------------------------------------------------

int TForm1::selectedNumberOfGraphs() const
{
    if (RadioButton14->isChecked())
        return 15;
    if (RadioButton15->isChecked())
        return 20;
    return 10;
}

namespace
{
int collapsedWidth(int graphs)
{
    return graphs == 10 ? 715 : graphs == 15 ? 1010 : 1190;
}
int expandedWidth(int graphs)
{
    return graphs == 10 ? 845 : graphs == 15 ? 1010 : 1190;
}
} // namespace

void TForm1::RadioButton13Click()
{
    if (deferredUntilPollEnds(&TForm1::RadioButton13Click))
        return;
    ErrorReport::guarded([this] {
        const int graphs = selectedNumberOfGraphs();
        setOuterSize(collapsedWidth(graphs), m_outerSize.height());
        Panel2->setVisible(graphs >= 15);
        Panel3->setVisible(graphs == 20);
        applyButtonColumnX(graphs == 10 ? 590 : 890);
        action(QStringLiteral("Show10graphs1"))->setChecked(graphs == 10);
        action(QStringLiteral("Show15graphs1"))->setChecked(graphs == 15);
        action(QStringLiteral("Show20graphs1"))->setChecked(graphs == 20);
        storeSetting(SettingsKeys::NumberGraphs, SettingValues::wholeText(graphs));
    });
}

void TForm1::Show10graphs1Click()
{
    RadioButton13->setChecked(true);
    action(QStringLiteral("Show10graphs1"))->setChecked(true);
}

void TForm1::Show15graphs1Click()
{
    RadioButton14->setChecked(true);
    action(QStringLiteral("Show15graphs1"))->setChecked(true);
}

void TForm1::Show20graphs1Click()
{
    RadioButton15->setChecked(true);
    action(QStringLiteral("Show20graphs1"))->setChecked(true);
}

void TForm1::Button9Clickr()
{
    const int graphs = selectedNumberOfGraphs();
    if (!isExpanded()) {
        Button9->setText(QStringLiteral("Show &less"));
        m_showMoreItem->setText(QStringLiteral("Show &less"));
        StringGrid1->show();
        PageControl1->setCurrentIndex(0);
        PageControl1->show();
        setOuterSize(expandedWidth(graphs), 755);
    } else {
        Button9->setText(QStringLiteral("Show &more"));
        m_showMoreItem->setText(QStringLiteral("Show &more"));
        StringGrid1->hide();
        PageControl1->hide();
        setOuterSize(collapsedWidth(graphs), 550);
    }
}

void TForm1::Button12Click()
{
    StringGrid1->setVisible(!StringGrid1->isVisible());
}

// --- Caption switches ------------------------------------------------------------------------

void TForm1::setCaptionSwitch(QCheckBox *box, int caption, QAction *menuItem,
                              QStringView settingName)
{
    ErrorReport::guarded([&] {
        const bool on = box->isChecked();
        menuItem->setChecked(on);
        m_board->setCaptionsVisible(static_cast<GraphBoard::Caption>(caption), on);
        storeSetting(settingName, SettingValues::flagText(on));
    });
}

void TForm1::CheckBox2Click()
{
    setCaptionSwitch(CheckBox2, int(GraphBoard::Caption::LastValues),
                     action(QStringLiteral("Showlastvalues1")), SettingsKeys::ShowLastValues);
}

void TForm1::CheckBox3Click()
{
    setCaptionSwitch(CheckBox3, int(GraphBoard::Caption::Name),
                     action(QStringLiteral("Showinterfacenames1")),
                     SettingsKeys::ShowInterfaceNames);
}

void TForm1::CheckBox4Click()
{
    setCaptionSwitch(CheckBox4, int(GraphBoard::Caption::Error),
                     action(QStringLiteral("Showerrors1")), SettingsKeys::ShowErrors);
}

void TForm1::Showlastvalues1Click()
{
    CheckBox2->toggle();
}

void TForm1::Showinterfacenames1Click()
{
    CheckBox3->toggle();
}

void TForm1::Showerrors1Click()
{
    CheckBox4->toggle();
}
