#include "StoredSettingsApplier.h"

#include "ColourResolve.h"
#include "ColourText.h"
#include "GraphBoard.h"
#include "MainWindow.h"
#include "PollCycle.h"
#include "SettingValues.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"
#include "StartupSettings.h"

#include <QAction>
#include <QCheckBox>
#include <QRadioButton>

namespace
{

void select(QRadioButton *button)
{
    if (button)
        button->setChecked(true);
}

void setFlag(QCheckBox *box, const QString &text)
{
    if (const auto on = SettingValues::flag(text))
        box->setChecked(*on);
}

} // namespace

void StoredSettingsApplier::applyAll()
{
    const ApplySetting apply = [this](QStringView name, const QString &text) {
        this->apply(name, text);
    };
    SettingsStore store;
    if (applyStartupSettings(store, apply))
        applyExtensionSettings(store, apply);
}

void StoredSettingsApplier::apply(QStringView name, const QString &text)
{
    namespace K = SettingsKeys;
    namespace V = SettingValues;
    TForm1 &w = m_window;
    GraphBoard &board = w.board();

    if (name == K::HighValue) {
        board.setHighValueAll(V::threshold(text));
    } else if (name == K::LowValue) {
        board.setLowValueAll(V::threshold(text));
    } else if (name == K::OnErrors) {
        if (const auto mode = V::onErrors(text))
            w.setOnErrorMode(*mode);
    } else if (name == K::HighValueColor) {
        board.setGraphHighColorAll(resolveColour(colourFromText(text)));
    } else if (name == K::NormalValueColor) {
        board.setGraphNormalColorAll(resolveColour(colourFromText(text)));
    } else if (name == K::LowValueColor) {
        board.setGraphLowColorAll(resolveColour(colourFromText(text)));
    } else if (name == K::Values) {
        if (const auto value = V::shownValue(text)) {
            select(*value == V::ShownValue::In      ? w.RadioButton9
                   : *value == V::ShownValue::Out   ? w.RadioButton10
                   : *value == V::ShownValue::InOut ? w.RadioButtonInOut
                                                    : w.RadioButton11);
            w.action(QStringLiteral("InOut1"))->setChecked(*value == V::ShownValue::InOut);
            w.action(QStringLiteral("In1"))->setChecked(*value == V::ShownValue::In);
            w.action(QStringLiteral("Out1"))->setChecked(*value == V::ShownValue::Out);
            w.action(QStringLiteral("Combined1"))->setChecked(*value == V::ShownValue::Combined);
        }
    } else if (name == K::Intervall) {
        if (const auto seconds = V::pollInterval(text)) {
            select(w.intervalRadio(*seconds));
            // The submenu's check mark follows the stored interval.
            for (const int interval : PollCycle::Intervals) {
                w.action(QStringLiteral("N%1seconds1").arg(interval))
                    ->setChecked(w.intervalRadio(interval) == w.intervalRadio(*seconds));
            }
        }
    } else if (name == K::DoubleUpdateSpeed) {
        setFlag(w.CheckBoxDouble, text);
    } else if (name == K::GMaxValue) {
        if (const auto maximum = V::graphMaximum(text)) {
            select(*maximum == 100  ? w.RadioButton8
                   : *maximum == 50 ? w.RadioButton7
                                    : w.RadioButton12);
            w.action(QStringLiteral("N1001"))->setChecked(*maximum == 100);
            w.action(QStringLiteral("N501"))->setChecked(*maximum == 50);
            w.action(QStringLiteral("N101"))->setChecked(*maximum == 10);
        }
    } else if (name == K::NumberGraphs) {
        if (const auto count = V::numberOfGraphs(text))
            select(*count == 10   ? w.RadioButton13
                   : *count == 15 ? w.RadioButton14
                                  : w.RadioButton15);
    } else if (name == K::ShowLastValues) {
        setFlag(w.CheckBox2, text);
    } else if (name == K::ShowInterfaceNames) {
        setFlag(w.CheckBox3, text);
    } else if (name == K::ShowErrors) {
        setFlag(w.CheckBox4, text);
    } else if (name == K::WriteUtilLog) {
        setFlag(w.CheckBoxUtilLog, text);
    } else if (name == K::WriteAnalysisLog) {
        setFlag(w.CheckBoxAnalysisLog, text);
    } else if (name == K::FirstStartFile) {
        w.setDeviceFilePath(text);
    } else if (name == K::FirstStartFileActive) {
        setFlag(w.CheckBox7, text);
    } else if (name == K::Counters64) {
        if (const auto on = V::flag(text))
            w.setCounters64(*on);
    } else if (name == K::LinkHealth) {
        if (const auto on = V::flag(text))
            w.setLinkHealth(*on);
    } else if (name == K::MetricsAddress) {
        if (const QString problem = w.setMetricsAddress(text); !problem.isEmpty())
            w.setStatusText(0, problem);
    } else if (name == K::RatesInBits) {
        setFlag(w.CheckBoxRatesInBits, text);
    } else if (name == K::OutLineColor) {
        w.setOutLineColorAll(resolveColour(colourFromText(text)));
    }
}
