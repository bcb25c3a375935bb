#include "ColourPicker.h"
#include "ColourText.h"
#include "ErrorReport.h"
#include "InterfaceTable.h"
#include "MetricsOptions.h"
#include "OptionsDialog.h"
#include "OptionsTarget.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace K = SettingsKeys;

// Records what the dialog does to the main window.
class FakeTarget : public OptionsTarget
{
public:
    InterfaceTable table;
    std::optional<int> high, low;
    std::optional<QColor> highColor, normalColor, lowColor;
    std::optional<bool> stop, startFlag;
    QList<int> rewritten;
    QString chooserAnswer;
    int chooserCalls = 0;
    std::optional<bool> counters64;
    std::optional<bool> linkHealth;
    std::optional<QColor> outLineColor;

    void setHighValueAll(int value) override { high = value; }
    void setLowValueAll(int value) override { low = value; }
    void setGraphHighColorAll(const QColor &c) override { highColor = c; }
    void setGraphNormalColorAll(const QColor &c) override { normalColor = c; }
    void setGraphLowColorAll(const QColor &c) override { lowColor = c; }
    void setStopOnErrors(bool on) override { stop = on; }
    void setStartFileFlag(bool on) override { startFlag = on; }
    InterfaceTable &interfaceTable() override { return table; }
    void rowRewritten(int row) override { rewritten << row; }
    void setCounters64(bool on) override { counters64 = on; }
    void setLinkHealth(bool on) override { linkHealth = on; }
    void setOutLineColorAll(const QColor &c) override { outLineColor = c; }
    std::optional<QString> metrics;
    QString metricsProblem;
    QString setMetricsAddress(const QString &text) override
    {
        metrics = text;
        return metricsProblem;
    }
    QString counterDescription(int row) const override
    {
        return QStringLiteral("width of row %1").arg(row);
    }
    QString chooseDeviceFile() override
    {
        ++chooserCalls;
        return chooserAnswer;
    }
};

class TestOptionsDialog : public QObject
{
    Q_OBJECT

public:
    explicit TestOptionsDialog(QString configHome) : m_configHome(std::move(configHome)) {}

private:
    QString m_configHome;
    QStringList m_reported;
    ErrorReport::Handler m_previousHandler;

    static QString stored(QStringView name)
    {
        SettingsStore store;
        return store.exists(name) ? store.read(name) : QStringLiteral("<absent>");
    }
    static void store(QStringView name, const QString &text)
    {
        SettingsStore s;
        s.write(name, text);
    }

    // A row as a device file load and two polls leave it.
    static void fillRow(InterfaceTable &table, int row)
    {
        const QStringList identity = {"3", "192.0.2.7", "4", "public", "100000000"};
        for (int c = 0; c < identity.size(); ++c)
            table.setCell(c, row, identity[c]);
        for (int c = Col::FirstValue; c <= Col::LastValue; ++c)
            table.setCell(c, row, QString::number(c * 11));
        table.setCell(Col::Description, row, "Core uplink");
    }

private Q_SLOTS:
    void init()
    {
        QDir(m_configHome + "/Kelvane").removeRecursively();
        m_reported.clear();
        m_previousHandler =
            ErrorReport::setHandler([this](const QString &message) { m_reported << message; });
    }
    void cleanup() { ErrorReport::setHandler(m_previousHandler); }

    void firstFillShowsAndStoresDefaults()
    {
        FakeTarget target;
        TForm3 dialog(target);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Options"));
        // 355 x 266, one row for the link health box, one for the output line's colour and the
        // metrics row, wider only by what the 64-bit counters text needs in this font: no text
        // is cut off, and OK and Cancel stay at the right edge, below the added rows.
        QCOMPARE(dialog.height(), 266 + 24 + 28 + MetricsOptions::Height);
        QVERIFY(dialog.CheckBoxHealth->y() > dialog.CheckBox64->geometry().bottom());
        for (const QWidget *other : dialog.OptionsFace->findChildren<QWidget *>()) {
            if (other != dialog.CheckBoxHealth && other->parentWidget() == dialog.OptionsFace &&
                other->isVisibleTo(&dialog))
                QVERIFY2(!other->geometry().intersects(dialog.CheckBoxHealth->geometry()),
                         qPrintable(other->objectName()));
        }
        QVERIFY(dialog.ColorBoxOutLine->y() > dialog.CheckBoxHealth->geometry().bottom());
        QVERIFY(dialog.Button1->y() > dialog.ColorBoxOutLine->geometry().bottom());
        QVERIFY(dialog.ColorBoxOutLine->geometry().right() < dialog.width());
        QVERIFY(dialog.width() >= 355);
        QVERIFY(dialog.CheckBox64->width() >= dialog.CheckBox64->sizeHint().width());
        QVERIFY(dialog.CheckBox64->geometry().right() < dialog.width());
        QCOMPARE(dialog.Button2->geometry().right(), dialog.width() - 11);
        QCOMPARE(dialog.Edit1->text(), QStringLiteral("70"));
        QCOMPARE(dialog.Edit2->text(), QStringLiteral("20"));
        QCOMPARE(dialog.ColorBox1->colour(), Colours::clRed);
        QCOMPARE(dialog.ColorBox2->colour(), Colours::clYellow);
        QCOMPARE(dialog.ColorBox3->colour(), Colours::clLime);
        QVERIFY(dialog.RadioButton1->isChecked());
        QVERIFY(!dialog.CheckBox1->isChecked());
        QVERIFY(dialog.Edit3->text().isEmpty());
        QVERIFY(dialog.Edit3->isReadOnly());
        QVERIFY(!dialog.CheckBox2->isEnabled());
        QVERIFY(!dialog.isPanelShown());
        QCOMPARE(target.stop, std::optional<bool>(true));
        QCOMPARE(target.startFlag, std::optional<bool>(false));
        // The fill ensured the values it reads; the colour default keeps its lower case.
        QCOMPARE(stored(K::HighValueColor), QStringLiteral("clred"));
        QCOMPARE(stored(K::FirstStartFileActive), QStringLiteral("no"));
        QCOMPARE(stored(K::FirstStartFile), QString());
        // Thresholds and colours reach the graphs only through OK.
        QVERIFY(!target.high && !target.highColor);
    }

    void fillReadsStoredValues()
    {
        store(K::HighValue, "85");
        store(K::LowValue, "x5"); // copied as text; only OK converts it
        store(K::OnErrors, "zeroes");
        store(K::HighValueColor, "CLBLUE");
        store(K::NormalValueColor, "$00123456");
        store(K::LowValueColor, "clBtnFace");
        store(K::FirstStartFile, "/data/core.dev");
        store(K::FirstStartFileActive, "yes");
        FakeTarget target;
        TForm3 dialog(target);
        QCOMPARE(dialog.Edit1->text(), QStringLiteral("85"));
        QCOMPARE(dialog.Edit2->text(), QStringLiteral("x5"));
        QVERIFY(dialog.RadioButton2->isChecked());
        QCOMPARE(dialog.ColorBox1->colour(), Colours::clBlue);
        QCOMPARE(dialog.ColorBox1->currentText(), QStringLiteral("Blue"));
        QCOMPARE(dialog.ColorBox2->colour(), TColor(0x00123456));
        QCOMPARE(dialog.ColorBox2->currentText(), QStringLiteral("Custom"));
        QCOMPARE(dialog.ColorBox3->colour(), Colours::systemColour(15));
        QCOMPARE(dialog.ColorBox3->currentText(), QStringLiteral("Button Face"));
        QCOMPARE(dialog.Edit3->text(), QStringLiteral("/data/core.dev"));
        QVERIFY(dialog.CheckBox1->isChecked());
        QCOMPARE(target.stop, std::optional<bool>(false));
        QCOMPARE(target.startFlag, std::optional<bool>(true));
        QVERIFY(m_reported.isEmpty());
    }

    void fillStopsAtAColourThatIsNoColour()
    {
        store(K::NormalValueColor, "greenish");
        store(K::FirstStartFile, "/data/core.dev");
        FakeTarget target;
        TForm3 dialog(target);
        QCOMPARE(m_reported.size(), 1);
        QVERIFY(m_reported.first().contains("greenish"));
        QCOMPARE(dialog.ColorBox1->colour(), Colours::clRed);
        QVERIFY(dialog.Edit3->text().isEmpty()); // later steps did not run
    }

    // "Serve metrics for Prometheus at": off by default with the loopback proposal; another
    // address is taken as typed, with the warning; an address that is none stays unstored.
    void metricsAddress_data()
    {
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("address"); // "" keeps the proposal
        QTest::addColumn<int>("port");        // 0 keeps the proposal
        QTest::addColumn<QString>("problem"); // what serving there answers
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("warning");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("off") << false << "" << 0 << ""
                             << "" << false << true;
        QTest::newRow("proposal") << true << "" << 0 << ""
                                  << "127.0.0.1:9650" << false << true;
        QTest::newRow("IPv6 loopback") << true << "::1" << 9651 << ""
                                       << "[::1]:9651" << false << true;
        QTest::newRow("typed LAN address") << true << "192.0.2.10" << 0 << ""
                                           << "192.0.2.10:9650" << true << true;
        QTest::newRow("a name") << true << "metrics.example" << 0 << ""
                                << "" << false << false;
        QTest::newRow("port taken")
            << true << "" << 0 << "Cannot serve metrics at 127.0.0.1:9650: taken"
            << "127.0.0.1:9650" << false << false;
    }

    void metricsAddress()
    {
        QFETCH(bool, on);
        QFETCH(QString, address);
        QFETCH(int, port);
        QFETCH(QString, problem);
        QFETCH(QString, expected);
        QFETCH(bool, warning);
        QFETCH(bool, accepted);
        FakeTarget target;
        target.metricsProblem = problem;
        TForm3 dialog(target);
        dialog.show();
        auto *check = dialog.findChild<QCheckBox *>(QStringLiteral("CheckBoxMetrics"));
        auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("EditMetricsAddress"));
        auto *spin = dialog.findChild<QSpinBox *>(QStringLiteral("SpinMetricsPort"));
        auto *label = dialog.findChild<QLabel *>(QStringLiteral("LabelMetricsWarning"));
        QVERIFY(check && edit && spin && label);
        QVERIFY(!check->isChecked());
        QCOMPARE(edit->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(spin->value(), 9650);
        check->setChecked(on);
        if (!address.isEmpty())
            edit->setText(address);
        if (port != 0)
            spin->setValue(port);
        QCOMPARE(label->isVisible(), warning);
        dialog.Button1->click();
        QCOMPARE(dialog.isVisible(), !accepted);
        QCOMPARE(m_reported.size(), accepted ? 0 : 1);
        QCOMPARE(stored(K::MetricsAddress), expected);
        if (!expected.isEmpty() || accepted)
            QCOMPARE(target.metrics, std::optional<QString>(expected));
    }

    void okStoresAndAppliesEverything()
    {
        FakeTarget target;
        TForm3 dialog(target);
        dialog.show();
        dialog.Edit1->setText("80");
        dialog.Edit2->setText("10");
        dialog.RadioButton2->setChecked(true);
        dialog.ColorBox2->setColour(Colours::clMoneyGreen);
        dialog.Edit3->setText("/data/edge.dev");
        dialog.CheckBox1->setChecked(true);
        target.startFlag.reset();
        dialog.Button1->click();

        QVERIFY(m_reported.isEmpty());
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(stored(K::HighValue), QStringLiteral("80"));
        QCOMPARE(stored(K::LowValue), QStringLiteral("10"));
        QCOMPARE(stored(K::OnErrors), QStringLiteral("zeroes"));
        QCOMPARE(stored(K::HighValueColor), QStringLiteral("clRed")); // was "clred"
        QCOMPARE(stored(K::NormalValueColor), QStringLiteral("clMoneyGreen"));
        QCOMPARE(stored(K::LowValueColor), QStringLiteral("clLime"));
        QCOMPARE(stored(K::FirstStartFile), QStringLiteral("/data/edge.dev"));
        QCOMPARE(stored(K::FirstStartFileActive), QStringLiteral("yes"));
        QCOMPARE(target.high, std::optional<int>(80));
        QCOMPARE(target.low, std::optional<int>(10));
        QCOMPARE(target.stop, std::optional<bool>(false));
        QCOMPARE(target.highColor, std::optional<QColor>(QColor(255, 0, 0)));
        QCOMPARE(target.normalColor, std::optional<QColor>(QColor(192, 220, 192)));
        QCOMPARE(target.lowColor, std::optional<QColor>(QColor(0, 255, 0)));
        // The first-start choice waits for the next start.
        QVERIFY(!target.startFlag);
    }

    void okKeepsACustomColourAndAcceptsHighBelowLow()
    {
        store(K::LowValueColor, "$00123456");
        FakeTarget target;
        TForm3 dialog(target);
        dialog.Edit1->setText("5");
        dialog.Edit2->setText("60");
        dialog.Button1->click();
        QCOMPARE(stored(K::LowValueColor), QStringLiteral("$00123456"));
        QCOMPARE(target.lowColor, std::optional<QColor>(QColor(0x56, 0x34, 0x12)));
        QCOMPARE(stored(K::HighValue), QStringLiteral("5"));
        QCOMPARE(stored(K::LowValue), QStringLiteral("60"));
    }

    void okStopsAtAThresholdThatIsNoWholeNumber_data()
    {
        QTest::addColumn<QString>("high");
        QTest::addColumn<QString>("low");
        QTest::addColumn<QString>("storedHigh");
        QTest::addColumn<bool>("highApplied");
        QTest::addColumn<QString>("badText");
        QTest::newRow("high is letters") << "abc"
                                         << "10"
                                         << "70" << false << "abc";
        QTest::newRow("high is fractional") << "7.5"
                                            << "10"
                                            << "70" << false << "7.5";
        QTest::newRow("high is empty") << ""
                                       << "10"
                                       << "70" << false << "''";
        QTest::newRow("low is letters") << "80"
                                        << "low"
                                        << "80" << true << "low";
    }
    void okStopsAtAThresholdThatIsNoWholeNumber()
    {
        QFETCH(QString, high);
        QFETCH(QString, low);
        QFETCH(QString, storedHigh);
        QFETCH(bool, highApplied);
        QFETCH(QString, badText);
        FakeTarget target;
        TForm3 dialog(target);
        dialog.show();
        dialog.Edit1->setText(high);
        dialog.Edit2->setText(low);
        dialog.RadioButton2->setChecked(true);
        dialog.ColorBox1->setColour(Colours::clBlue);
        dialog.Button1->click();

        QCOMPARE(m_reported.size(), 1);
        QVERIFY2(m_reported.first().contains(badText), qPrintable(m_reported.first()));
        QVERIFY(dialog.isVisible());
        QCOMPARE(stored(K::HighValue), storedHigh);
        QCOMPARE(target.high.has_value(), highApplied);
        QCOMPARE(stored(K::LowValue), QStringLiteral("20"));
        QVERIFY(!target.low);
        QCOMPARE(stored(K::OnErrors), QStringLiteral("stop"));
        QCOMPARE(stored(K::HighValueColor), QStringLiteral("clred"));
        QVERIFY(!target.highColor);
        QCOMPARE(target.stop, std::optional<bool>(true)); // from the fill only
    }

    // "64-bit counters" and "link health": ensured as "no", matched exactly ("yes" checks),
    // stored and applied by OK only, refilled by Cancel; the Edit device panel names the
    // counters of its row. of settings beyond the eighteen: read exactly ("yes" checks),
    // undone by Cancel, stored and applied by OK.
    void extensionCheckBoxes_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("storedText");
        QTest::addColumn<bool>("checked");
        for (const QString &key :
             {QStringLiteral("64-bit counters"), QStringLiteral("link health")}) {
            const auto row = [&](const char *what) -> QTestData & {
                return QTest::newRow(QByteArray(key.toUtf8() + ": " + what).constData());
            };
            row("absent") << key << "<absent>" << false;
            row("yes") << key << "yes" << true;
            row("no") << key << "no" << false;
            row("Yes is not yes") << key << "Yes" << false;
        }
    }
    void extensionCheckBoxes()
    {
        QFETCH(QString, key);
        QFETCH(QString, storedText);
        QFETCH(bool, checked);
        if (storedText != "<absent>")
            store(key, storedText);
        FakeTarget target;
        TForm3 dialog(target);
        const bool is64 = key == K::Counters64;
        QCheckBox *box = is64 ? dialog.CheckBox64 : dialog.CheckBoxHealth;
        std::optional<bool> &applied = is64 ? target.counters64 : target.linkHealth;
        QCOMPARE(box->text(), is64 ? QStringLiteral("Use 64-bit counters (SNMP v2c) where the "
                                                    "agent has them")
                                   : QStringLiteral("Watch link state, errors and discards"));
        QCOMPARE(box->isChecked(), checked);
        QCOMPARE(stored(key), storedText == "<absent>" ? QStringLiteral("no") : storedText);
        QVERIFY(!applied);

        dialog.show();
        box->setChecked(!checked);
        dialog.Button2->click(); // Cancel
        QCOMPARE(box->isChecked(), checked);
        QVERIFY(!applied);

        dialog.show();
        box->setChecked(!checked);
        dialog.Button1->click(); // OK
        QCOMPARE(stored(key), checked ? QStringLiteral("no") : QStringLiteral("yes"));
        QCOMPARE(applied, std::optional<bool>(!checked));

        dialog.editDevice(3);
        QCOMPARE(dialog.CountersLabel->text(), QStringLiteral("Counters: width of row 3"));
    }

    // The output line's colour: fuchsia by default, filled from the store, undone by Cancel,
    // stored by name and applied to the graphs by OK.
    void outLineColour()
    {
        {
            FakeTarget target;
            TForm3 dialog(target);
            QCOMPARE(dialog.ColorBoxOutLine->colour(), Colours::clFuchsia);
            QCOMPARE(stored(K::OutLineColor), QStringLiteral("clFuchsia"));
        }
        store(K::OutLineColor, QStringLiteral("clwhite"));
        FakeTarget target;
        TForm3 dialog(target);
        QCOMPARE(dialog.ColorBoxOutLine->colour(), Colours::clWhite);
        dialog.show();
        dialog.ColorBoxOutLine->setColour(Colours::clAqua);
        dialog.Button2->click(); // Cancel
        QCOMPARE(dialog.ColorBoxOutLine->colour(), Colours::clWhite);
        QVERIFY(!target.outLineColor);
        dialog.show();
        dialog.ColorBoxOutLine->setColour(Colours::clAqua);
        dialog.Button1->click(); // OK
        QCOMPARE(stored(K::OutLineColor), QStringLiteral("clAqua"));
        QCOMPARE(target.outLineColor, std::optional<QColor>(QColor(0, 255, 255)));
    }

    void cancelRestoresTheStoredState()
    {
        store(K::HighValue, "75");
        FakeTarget target;
        TForm3 dialog(target);
        dialog.show();
        dialog.Edit1->setText("99");
        dialog.Edit2->setText("1");
        dialog.ColorBox1->setColour(Colours::clNavy);
        dialog.RadioButton2->setChecked(true);
        dialog.CheckBox1->setChecked(true);
        target.chooserAnswer = "/data/other.dev";
        dialog.Button3->click();
        QCOMPARE(dialog.Edit3->text(), QStringLiteral("/data/other.dev"));
        QCOMPARE(stored(K::FirstStartFile), QString()); // nothing stored before OK

        dialog.Button2->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(dialog.Edit1->text(), QStringLiteral("75"));
        QCOMPARE(dialog.Edit2->text(), QStringLiteral("20"));
        QCOMPARE(dialog.ColorBox1->colour(), Colours::clRed);
        QVERIFY(dialog.RadioButton1->isChecked());
        QVERIFY(!dialog.CheckBox1->isChecked());
        QVERIFY(dialog.Edit3->text().isEmpty());
        QVERIFY(!target.high && !target.low && !target.highColor);
        QCOMPARE(stored(K::HighValue), QStringLiteral("75"));

        // Escape is Cancel too.
        dialog.show();
        dialog.Edit1->setText("98");
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.Edit1->text(), QStringLiteral("75"));
    }

    void chooserCancelKeepsThePath()
    {
        store(K::FirstStartFile, "/data/core.dev");
        FakeTarget target;
        TForm3 dialog(target);
        dialog.Button3->click();
        QCOMPARE(target.chooserCalls, 1);
        QCOMPARE(dialog.Edit3->text(), QStringLiteral("/data/core.dev"));
    }

    void editDeviceRewritesOneRow()
    {
        FakeTarget target;
        target.table.writeHeaderAndInitialValues();
        fillRow(target.table, 3);
        fillRow(target.table, 4);
        TForm3 dialog(target);
        dialog.editDevice(3);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Edit device"));
        QVERIFY(dialog.isPanelShown());
        QVERIFY(dialog.Panel1->isVisible());
        QVERIFY(!dialog.Edit8->isVisible());
        QCOMPARE(dialog.Edit4->text(), QStringLiteral("192.0.2.7"));
        QCOMPARE(dialog.Edit5->text(), QStringLiteral("4"));
        QCOMPARE(dialog.Edit6->text(), QStringLiteral("100000000"));
        QCOMPARE(dialog.Edit7->text(), QStringLiteral("public"));
        QCOMPARE(dialog.Edit8->text(), QStringLiteral("3"));

        dialog.Edit4->setText("192.0.2.9");
        dialog.Edit5->setText("12");
        dialog.Edit6->setText("10000000");
        dialog.Edit7->setText("secret");
        // Enter in a box of the panel must not reach the OK button hidden under it.
        QTest::keyClick(dialog.Edit7, Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QCOMPARE(stored(K::OnErrors), QStringLiteral("stop"));
        QVERIFY(!target.high);

        dialog.Button4->click();
        QVERIFY(dialog.isVisible()); // stays open
        const InterfaceTable &t = target.table;
        QCOMPARE(t.cell(Col::IP, 3), QStringLiteral("192.0.2.9"));
        QCOMPARE(t.cell(Col::Interface, 3), QStringLiteral("12"));
        QCOMPARE(t.cell(Col::Bandwidth, 3), QStringLiteral("10000000"));
        QCOMPARE(t.cell(Col::Community, 3), QStringLiteral("secret"));
        for (int c = Col::FirstValue; c <= Col::LastValue; ++c)
            QCOMPARE(t.cell(c, 3), QStringLiteral("0"));
        QCOMPARE(t.cell(Col::Number, 3), QStringLiteral("3"));
        QCOMPARE(t.cell(Col::Description, 3), QStringLiteral("Core uplink"));
        QCOMPARE(t.cell(Col::IP, 4), QStringLiteral("192.0.2.7"));
        QCOMPARE(t.cell(Col::InUtil, 4), QString::number(Col::InUtil * 11));
        QCOMPARE(target.rewritten, QList<int>{3});
        QCOMPARE(target.chooserCalls, 0);

        dialog.Button6->click();
        QVERIFY(!dialog.isVisible());
        QVERIFY(!dialog.isPanelShown());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Options"));
        dialog.show();
        QVERIFY(dialog.Button1->isVisible());
        QVERIFY(dialog.Button1->hasFocus() || !QApplication::focusWidget());
    }

    void editDeviceOnAnEmptyRow()
    {
        FakeTarget target;
        target.table.writeHeaderAndInitialValues();
        TForm3 dialog(target);
        dialog.editDevice(7);
        for (QLineEdit *box : {dialog.Edit4, dialog.Edit5, dialog.Edit6, dialog.Edit7})
            QVERIFY(box->text().isEmpty());
        dialog.Edit4->setText("192.0.2.20");
        dialog.Edit5->setText("1");
        dialog.Edit6->setText("2000000");
        dialog.Edit7->setText("public");
        dialog.Button4->click();
        QCOMPARE(target.table.cell(Col::IP, 7), QStringLiteral("192.0.2.20"));
        QCOMPARE(target.table.cell(Col::Community, 7), QStringLiteral("public"));
        QVERIFY(target.table.cell(Col::Number, 7).isEmpty());
        QCOMPARE(target.rewritten, QList<int>{7});
    }

    void useAndEditDeviceFile_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::newRow("file chosen") << "/data/core.dev";
        QTest::newRow("chooser cancelled") << "";
    }
    void useAndEditDeviceFile()
    {
        QFETCH(QString, chosen);
        FakeTarget target;
        target.table.writeHeaderAndInitialValues();
        fillRow(target.table, 2);
        TForm3 dialog(target);
        QStringList edited;
        dialog.setEditorOpener([&](const QString &path) {
            edited << path;
            return true;
        });
        target.chooserAnswer = chosen;
        dialog.editDevice(2);
        dialog.Edit4->setText("192.0.2.33");
        dialog.Button5->click();
        QCOMPARE(target.table.cell(Col::IP, 2), QStringLiteral("192.0.2.33"));
        QCOMPARE(target.table.cell(Col::OrgIn, 2), QStringLiteral("0"));
        QCOMPARE(target.chooserCalls, 1);
        QCOMPARE(edited, chosen.isEmpty() ? QStringList() : QStringList{chosen});
        QVERIFY(dialog.isPanelShown());
    }

    void pickerListsNamedColoursAndOneCustomEntry()
    {
        TColourPicker picker;
        // Sixteen standard, four extra, thirty system colours; no clNone or clDefault.
        QCOMPARE(picker.count(), 50);
        QCOMPARE(picker.itemText(0), QStringLiteral("Black"));
        QVERIFY(!picker.itemIcon(0).isNull());
        picker.setColour(0x00010203);
        picker.setColour(0x00040506);
        QCOMPARE(picker.count(), 51);
        QCOMPARE(picker.currentText(), QStringLiteral("Custom"));
        QCOMPARE(picker.colour(), TColor(0x00040506));
        picker.setColour(Colours::clSkyBlue);
        QCOMPARE(picker.count(), 50);
        QCOMPARE(picker.currentText(), QStringLiteral("Sky Blue"));
    }

    void pickerDisplayNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << "clRed"
                               << "Red";
        QTest::newRow("two words") << "clMoneyGreen"
                                   << "Money Green";
        QTest::newRow("abbreviation") << "clMedGray"
                                      << "Medium Gray";
        QTest::newRow("system") << "clBtnFace"
                                << "Button Face";
        QTest::newRow("digit and run of capitals") << "cl3DDkShadow"
                                                   << "3D Dark Shadow";
        QTest::newRow("trailing abbreviation") << "clInfoBk"
                                               << "Info Background";
    }
    void pickerDisplayNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        QCOMPARE(TColourPicker::displayName(name), shown);
    }
};

int main(int argc, char **argv)
{
    QTemporaryDir configHome;
    if (!configHome.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    QApplication app(argc, argv);
    TestOptionsDialog test(configHome.path());
    return QTest::qExec(&test, argc, argv);
}

#include "tst_optionsdialog.moc"
