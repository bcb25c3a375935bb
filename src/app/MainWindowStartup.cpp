// The main window's creation sequence: window state, stored settings, table, start file.

#include "MainWindow.h"

#include "InterfaceList.h"
#include "InterfaceTable.h"

#include "ColourResolve.h"
#include "ColourText.h"
#include "ErrorReport.h"
#include "GraphBoard.h"
#include "SettingValues.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"
#include "StartupSettings.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableView>

void TForm1::FormCreate(const QString &commandLineFile)
{
    Button9->setText(QStringLiteral("Show &more"));
    StringGrid1->hide();
    setOuterSize(715, 550);

    m_list.clear();
    refreshInterfaceListView();
    Activegraphs();

    applyStoredSettings();
    reloadAgentProfiles();

    m_table.writeHeaderAndInitialValues();

    if (!commandLineFile.isEmpty()) {
        m_deviceFilePath = commandLineFile;
        m_loadSource = QStringLiteral("param");
        Button8Click();
    } else if (startFileFlag()) {
        m_loadSource = QStringLiteral("startfile");
        Button8Click();
    }
}

void TForm1::applyStoredSettings()
{
    namespace K = SettingsKeys;
    namespace V = SettingValues;
    const auto select = [](QRadioButton *button) {
        if (button)
            button->setChecked(true);
    };
    const auto setFlag = [](QCheckBox *box, const QString &text) {
        if (const auto on = V::flag(text))
            box->setChecked(*on);
    };

    const ApplySetting apply = [&](QStringView name, const QString &text) {
        if (name == K::HighValue) {
            m_board->setHighValueAll(V::threshold(text));
        } else if (name == K::LowValue) {
            m_board->setLowValueAll(V::threshold(text));
        } else if (name == K::OnErrors) {
            if (const auto mode = V::onErrors(text))
                setOnErrorMode(*mode);
        } else if (name == K::HighValueColor) {
            m_board->setGraphHighColorAll(resolveColour(colourFromText(text)));
        } else if (name == K::NormalValueColor) {
            m_board->setGraphNormalColorAll(resolveColour(colourFromText(text)));
        } else if (name == K::LowValueColor) {
            m_board->setGraphLowColorAll(resolveColour(colourFromText(text)));
        } else if (name == K::Values) {
            if (const auto value = V::shownValue(text)) {
                select(*value == V::ShownValue::In      ? RadioButton9
                       : *value == V::ShownValue::Out   ? RadioButton10
                       : *value == V::ShownValue::InOut ? RadioButtonInOut
                                                        : RadioButton11);
                action(QStringLiteral("InOut1"))->setChecked(*value == V::ShownValue::InOut);
                action(QStringLiteral("In1"))->setChecked(*value == V::ShownValue::In);
                action(QStringLiteral("Out1"))->setChecked(*value == V::ShownValue::Out);
                action(QStringLiteral("Combined1"))->setChecked(*value == V::ShownValue::Combined);
            }
        } else if (name == K::Intervall) {
            if (const auto seconds = V::pollInterval(text)) {
                select(intervalRadio(*seconds));
                // The submenu's check mark follows the stored interval.
                for (std::size_t i = 0; i < m_intervalItems.size(); ++i)
                    m_intervalItems[i]->setChecked(m_intervalRadios[i] == intervalRadio(*seconds));
            }
        } else if (name == K::DoubleUpdateSpeed) {
            setFlag(CheckBoxDouble, text);
        } else if (name == K::GMaxValue) {
            if (const auto maximum = V::graphMaximum(text)) {
                select(*maximum == 100  ? RadioButton8
                       : *maximum == 50 ? RadioButton7
                                        : RadioButton12);
                action(QStringLiteral("N1001"))->setChecked(*maximum == 100);
                action(QStringLiteral("N501"))->setChecked(*maximum == 50);
                action(QStringLiteral("N101"))->setChecked(*maximum == 10);
            }
        } else if (name == K::NumberGraphs) {
            if (const auto count = V::numberOfGraphs(text))
                select(*count == 10 ? RadioButton13 : *count == 15 ? RadioButton14 : RadioButton15);
        } else if (name == K::ShowLastValues) {
            setFlag(CheckBox2, text);
        } else if (name == K::ShowInterfaceNames) {
            setFlag(CheckBox3, text);
        } else if (name == K::ShowErrors) {
            setFlag(CheckBox4, text);
        } else if (name == K::WriteUtilLog) {
            setFlag(CheckBoxUtilLog, text);
        } else if (name == K::WriteAnalysisLog) {
            setFlag(CheckBoxAnalysisLog, text);
        } else if (name == K::FirstStartFile) {
            m_deviceFilePath = text;
        } else if (name == K::FirstStartFileActive) {
            setFlag(CheckBox7, text);
        } else if (name == K::Counters64) {
            if (const auto on = V::flag(text))
                setCounters64(*on);
        } else if (name == K::LinkHealth) {
            if (const auto on = V::flag(text))
                setLinkHealth(*on);
        } else if (name == K::MetricsAddress) {
            if (const QString problem = setMetricsAddress(text); !problem.isEmpty())
                setStatusText(0, problem);
        } else {
            applyUnitsSetting(name, text);
        }
    };

    SettingsStore store;
    if (applyStartupSettings(store, apply))
        applyExtensionSettings(store, apply);
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_splashShown) {
        m_splashShown = true;
        // Centred on the desktop at start.
        if (const QScreen *screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
        showSplash();
    }
}
