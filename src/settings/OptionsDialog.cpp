#include "OptionsDialog.h"

#include "ColourPicker.h"
#include "ColourResolve.h"
#include "ColourText.h"
#include "ErrorReport.h"
#include "InterfaceTable.h"
#include "MetricsOptions.h"
#include "OptionsTarget.h"
#include "SettingValues.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <algorithm>
#include <array>

namespace K = SettingsKeys;

namespace
{

QLabel *label(const QString &text, QWidget *parent, const QRect &geometry)
{
    auto *l = new QLabel(text, parent);
    l->setGeometry(geometry);
    return l;
}

QLineEdit *edit(const char *name, QWidget *parent, const QRect &geometry)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1StringView(name));
    e->setGeometry(geometry);
    return e;
}

QPushButton *button(const QString &text, const char *name, QWidget *parent, const QRect &geometry)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1StringView(name));
    b->setGeometry(geometry);
    return b;
}

} // namespace

TForm3::TForm3(OptionsTarget &target, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_target(target),
      m_openEditor([this](const QString &path) { return m_target.openInTextEditor(path); })
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Options"));
    setFixedSize(355, 266);
    createOptionsFace();
    createDevicePanel();
    Panel1->resize(Panel1->width(), OptionsFace->height()); // as tall as the metrics row made it
    widenForCounters64Text();
    addLinkHealthBox();
    addOutLineColourRow();
    Fill();
}

TForm3::~TForm3() = default;

void TForm3::widenForCounters64Text()
{
    // The 64-bit counters check box came after the dialog's size was set, and its text needs
    // more than the 335 pixels of its row in common desktop fonts: the dialog grows in width by
    // what the text needs, so nothing is cut off; OK and Cancel stay at the right edge.
    const int needed = CheckBox64->x() + CheckBox64->sizeHint().width() + 8;
    const int extra = std::max(0, needed - width());
    if (extra == 0)
        return;
    setFixedSize(width() + extra, height());
    for (QWidget *face : {OptionsFace, Panel1})
        face->resize(face->width() + extra, face->height());
    CheckBox64->resize(CheckBox64->width() + extra, CheckBox64->height());
    for (QWidget *button : {Button1, Button2})
        button->move(button->x() + extra, button->y());
}

void TForm3::addLinkHealthBox()
{
    // A row of its own where OK and Cancel stood, below the rows added before it: the dialog
    // and both faces grow by it, and OK and Cancel move down with the bottom edge.
    constexpr int RowHeight = 24;
    const int y = Button1->y();
    CheckBoxHealth =
        new QCheckBox(QStringLiteral("Watch link state, errors and discards"), OptionsFace);
    CheckBoxHealth->setObjectName(QStringLiteral("CheckBoxHealth"));
    CheckBoxHealth->setGeometry(CheckBox64->x(), y + 2, CheckBox64->width(), 20);
    setFixedSize(width(), height() + RowHeight);
    for (QWidget *face : {OptionsFace, Panel1})
        face->resize(face->width(), face->height() + RowHeight);
    for (QWidget *button : {Button1, Button2, Button6})
        button->move(button->x(), button->y() + RowHeight);
}

void TForm3::addOutLineColourRow()
{
    // A row of its own where OK and Cancel stood, below the rows added before it: the dialog
    // grows by it, and OK and Cancel move down with the bottom edge.
    constexpr int RowHeight = 28;
    const int y = Button1->y();
    setFixedSize(width(), height() + RowHeight);
    for (QWidget *face : {OptionsFace, Panel1})
        face->resize(face->width(), face->height() + RowHeight);
    for (QWidget *button : {Button1, Button2})
        button->move(button->x(), button->y() + RowHeight);
    auto *caption = label(QStringLiteral("Output line (View > In and out):"), OptionsFace,
                          QRect(12, y + 2, 200, 22));
    caption->resize(std::max(caption->sizeHint().width(), 200), 22);
    ColorBoxOutLine = new TColourPicker(OptionsFace);
    ColorBoxOutLine->setObjectName(QStringLiteral("ColorBoxOutLine"));
    ColorBoxOutLine->setGeometry(caption->x() + caption->width() + 6, y, 145, 24);
    ColorBoxOutLine->setColour(Colours::clFuchsia);
    caption->setBuddy(ColorBoxOutLine);
}

void TForm3::createOptionsFace()
{
    OptionsFace = new QWidget(this);
    OptionsFace->setObjectName(QStringLiteral("OptionsFace"));
    OptionsFace->setGeometry(0, 0, 355, 266);

    GroupBox1 = new QGroupBox(QStringLiteral("Utilization thresholds"), OptionsFace);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 4, 339, 100);
    label(QStringLiteral("High value in % :"), GroupBox1, QRect(10, 26, 110, 22));
    Edit1 = edit("Edit1", GroupBox1, QRect(122, 26, 50, 22));
    Edit1->setText(K::HighValueDefaultText.view().toString());
    label(QStringLiteral("Low value in % :"), GroupBox1, QRect(10, 62, 110, 22));
    Edit2 = edit("Edit2", GroupBox1, QRect(122, 62, 50, 22));
    Edit2->setText(K::LowValueDefaultText.view().toString());

    const std::array<TColourPicker **, 3> pickers = {&ColorBox1, &ColorBox2, &ColorBox3};
    const std::array<TColor, 3> initial = {Colours::clRed, Colours::clYellow, Colours::clLime};
    for (std::size_t i = 0; i < pickers.size(); ++i) {
        auto *picker = new TColourPicker(GroupBox1);
        picker->setObjectName(QStringLiteral("ColorBox%1").arg(i + 1));
        picker->setGeometry(186, 18 + int(i) * 26, 145, 24);
        picker->setColour(initial[i]);
        *pickers[i] = picker;
    }

    RadioButton1 = new QRadioButton(QStringLiteral("Stop polling when errors occur"), OptionsFace);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setGeometry(12, 108, 335, 20);
    RadioButton1->setChecked(true);
    RadioButton2 = new QRadioButton(
        QStringLiteral("Continue polling with zero values when errors occur"), OptionsFace);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    RadioButton2->setGeometry(12, 128, 335, 20);

    CheckBox1 =
        new QCheckBox(QStringLiteral("Always use this device file for first start"), OptionsFace);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(12, 148, 335, 20);
    Edit3 = edit("Edit3", OptionsFace, QRect(12, 168, 298, 22));
    Edit3->setReadOnly(true);
    Button3 = button(QStringLiteral("..."), "Button3", OptionsFace, QRect(314, 168, 30, 22));
    Button3->setAutoDefault(false);
    connect(Button3, &QPushButton::clicked, this, &TForm3::Button3Click);

    // Shown for completeness; it has no function and is never enabled, read or stored.
    CheckBox2 =
        new QCheckBox(QStringLiteral("Automatically start polling at program start"), OptionsFace);
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
    CheckBox2->setGeometry(12, 192, 335, 20);
    CheckBox2->setEnabled(false);

    CheckBox64 = new QCheckBox(
        QStringLiteral("Use 64-bit counters (SNMP v2c) where the agent has them"), OptionsFace);
    CheckBox64->setObjectName(QStringLiteral("CheckBox64"));
    CheckBox64->setGeometry(12, 211, 335, 20);

    // Below the specified controls; OK and Cancel move down by its height.
    m_metrics = std::make_unique<MetricsOptions>(OptionsFace, 232);
    const int below = MetricsOptions::Height;
    setFixedSize(width(), height() + below);
    OptionsFace->resize(OptionsFace->width(), OptionsFace->height() + below);

    Button1 = button(QStringLiteral("OK"), "Button1", OptionsFace, QRect(188, 232 + below, 75, 26));
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
    Button2 =
        button(QStringLiteral("Cancel"), "Button2", OptionsFace, QRect(270, 232 + below, 75, 26));
    Button2->setAutoDefault(false);
    connect(Button2, &QPushButton::clicked, this, &TForm3::Button2Click);
}

void TForm3::createDevicePanel()
{
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, 355, 266);
    Panel1->setAutoFillBackground(true);

    const std::array<QString, 4> captions = {
        QStringLiteral("I&P address"), QStringLiteral("&Interface"), QStringLiteral("&Bandwidth"),
        QStringLiteral("SNMP &community")};
    const std::array<QLineEdit **, 4> boxes = {&Edit4, &Edit5, &Edit6, &Edit7};
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const int y = 20 + int(i) * 32;
        QLabel *caption = label(captions[i], Panel1, QRect(16, y, 120, 22));
        *boxes[i] = edit(QByteArray("Edit" + QByteArray::number(int(i) + 4)).constData(), Panel1,
                         QRect(140, y, 196, 22));
        caption->setBuddy(*boxes[i]); // its underlined letter (Alt+letter) goes to the field
    }
    Edit8 = edit("Edit8", Panel1, QRect(16, 150, 40, 22));
    Edit8->hide();
    CountersLabel = label(QString(), Panel1, QRect(16, 194, 320, 22));
    CountersLabel->setObjectName(QStringLiteral("CountersLabel"));

    Button4 =
        button(QStringLiteral("&Use for polling"), "Button4", Panel1, QRect(16, 158, 150, 28));
    connect(Button4, &QPushButton::clicked, this, &TForm3::Button4Click);
    Button5 = button(QStringLiteral("Use and &edit device file"), "Button5", Panel1,
                     QRect(176, 158, 160, 28));
    connect(Button5, &QPushButton::clicked, this, &TForm3::Button5Click);
    Button6 = button(QStringLiteral("&Quit"), "Button6", Panel1, QRect(261, 226, 75, 28));
    connect(Button6, &QPushButton::clicked, this, &TForm3::Button6Click);
    for (QPushButton *b : {Button4, Button5, Button6})
        b->setAutoDefault(false);

    Panel1->hide();
}

bool TForm3::Fill()
{
    return ErrorReport::guarded([this] {
        SettingsStore store;
        Edit1->setText(ensureAndRead(store, K::HighValue));
        Edit2->setText(ensureAndRead(store, K::LowValue));

        if (const auto mode = SettingValues::onErrors(ensureAndRead(store, K::OnErrors))) {
            const bool stop = *mode == OnErrorMode::Stop;
            (stop ? RadioButton1 : RadioButton2)->setChecked(true);
            m_target.setStopOnErrors(stop);
        }

        ColorBox1->setColour(colourFromText(ensureAndRead(store, K::HighValueColor)));
        ColorBox2->setColour(colourFromText(ensureAndRead(store, K::NormalValueColor)));
        ColorBox3->setColour(colourFromText(ensureAndRead(store, K::LowValueColor)));

        Edit3->setText(ensureAndRead(store, K::FirstStartFile));

        if (const auto on = SettingValues::flag(ensureAndRead(store, K::FirstStartFileActive))) {
            CheckBox1->setChecked(*on);
            m_target.setStartFileFlag(*on);
        }

        // Exact match: anything but "yes" leaves the box unchecked.
        CheckBox64->setChecked(SettingValues::flag(ensureAndRead(store, K::Counters64)) == true);
        CheckBoxHealth->setChecked(SettingValues::flag(ensureAndRead(store, K::LinkHealth)) ==
                                   true);
        ColorBoxOutLine->setColour(colourFromText(ensureAndRead(store, K::OutLineColor)));
        m_metrics->fill(ensureAndRead(store, K::MetricsAddress, QString()));
    });
}

void TForm3::Button1Click()
{
    const bool stored = ErrorReport::guarded([this] {
        SettingsStore store;
        // A threshold that is no whole number is neither stored nor applied: it could not be
        // applied at the next start either. The steps after it do not run.
        const int high = SettingValues::threshold(Edit1->text());
        store.write(K::HighValue, Edit1->text());
        m_target.setHighValueAll(high);
        const int low = SettingValues::threshold(Edit2->text());
        store.write(K::LowValue, Edit2->text());
        m_target.setLowValueAll(low);

        const auto mode = RadioButton1->isChecked() ? OnErrorMode::Stop : OnErrorMode::Zeroes;
        store.write(K::OnErrors, SettingValues::onErrorsText(mode));
        m_target.setStopOnErrors(mode == OnErrorMode::Stop);

        store.write(K::HighValueColor, colourToText(ColorBox1->colour()));
        m_target.setGraphHighColorAll(resolveColour(ColorBox1->colour()));
        store.write(K::NormalValueColor, colourToText(ColorBox2->colour()));
        m_target.setGraphNormalColorAll(resolveColour(ColorBox2->colour()));
        store.write(K::LowValueColor, colourToText(ColorBox3->colour()));
        m_target.setGraphLowColorAll(resolveColour(ColorBox3->colour()));

        // The first-start choice takes effect at the next start.
        store.write(K::FirstStartFile, Edit3->text());
        store.write(K::FirstStartFileActive, SettingValues::flagText(CheckBox1->isChecked()));

        store.write(K::Counters64, SettingValues::flagText(CheckBox64->isChecked()));
        m_target.setCounters64(CheckBox64->isChecked());
        store.write(K::LinkHealth, SettingValues::flagText(CheckBoxHealth->isChecked()));
        m_target.setLinkHealth(CheckBoxHealth->isChecked());

        store.write(K::OutLineColor, colourToText(ColorBoxOutLine->colour()));
        m_target.setOutLineColorAll(resolveColour(ColorBoxOutLine->colour()));
        const QString metrics = m_metrics->settingText();
        store.write(K::MetricsAddress, metrics);
        if (const QString problem = m_target.setMetricsAddress(metrics); !problem.isEmpty())
            throw OstralineError(problem);
    });
    if (stored)
        accept();
}

void TForm3::Button2Click()
{
    Fill();
    QDialog::reject();
}

void TForm3::reject()
{
    Button2Click();
}

void TForm3::Button3Click()
{
    const QString path = m_target.chooseDeviceFile();
    if (!path.isEmpty())
        Edit3->setText(path);
}

void TForm3::editDevice(int row)
{
    if (row < 1 || row > InterfaceTable::InterfaceRows)
        return;
    setWindowTitle(QStringLiteral("Edit device"));
    const InterfaceTable &table = m_target.interfaceTable();
    Edit4->setText(table.cell(Col::IP, row));
    Edit5->setText(table.cell(Col::Interface, row));
    Edit6->setText(table.cell(Col::Bandwidth, row));
    Edit7->setText(table.cell(Col::Community, row));
    Edit8->setText(QString::number(row));
    showCounters(row);
    showPanel(true);
}

void TForm3::Button4Click()
{
    bool ok = false;
    const int row = Edit8->text().toInt(&ok);
    if (!ok || row < 1 || row > InterfaceTable::InterfaceRows)
        return;
    InterfaceTable &table = m_target.interfaceTable();
    table.setCell(Col::IP, row, Edit4->text());
    table.setCell(Col::Interface, row, Edit5->text());
    table.setCell(Col::Bandwidth, row, Edit6->text());
    table.setCell(Col::Community, row, Edit7->text());
    // The next poll starts the interface afresh.
    table.resetValueColumns(row);
    m_target.rowRewritten(row);
    showCounters(row);
}

void TForm3::showCounters(int row)
{
    const QString text = m_target.counterDescription(row);
    CountersLabel->setText(text.isEmpty() ? QString() : QStringLiteral("Counters: ") + text);
}

void TForm3::Button5Click()
{
    Button4Click();
    const QString path = m_target.chooseDeviceFile();
    if (path.isEmpty())
        return;
    // Whether the editor could be started is not reported.
    m_openEditor(path);
}

void TForm3::Button6Click()
{
    showPanel(false);
    setWindowTitle(QStringLiteral("Options"));
    QDialog::reject();
}

void TForm3::addPage(const QString &title, QWidget *page)
{
    if (!m_pages) {
        // The General face keeps its fixed layout inside the first tab; the buttons move out
        // of it so that they serve every page.
        const QSize face = OptionsFace->size();
        m_pages = new QTabWidget(this);
        m_pages->setObjectName(QStringLiteral("OptionsPages"));
        m_pages->addTab(OptionsFace, QStringLiteral("General"));
        const QSize tabs = m_pages->sizeHint() - m_pages->currentWidget()->sizeHint();
        m_pages->setGeometry(4, 4, face.width() + std::max(0, tabs.width()),
                             face.height() - 34 + std::max(0, tabs.height()));
        const int buttonsY = m_pages->geometry().bottom() + 6;
        for (QPushButton *b : {Button1, Button2}) {
            b->setParent(this);
            b->move(b->x() + 4, buttonsY);
            b->show();
        }
        setFixedSize(m_pages->width() + 8, buttonsY + Button1->height() + 8);
        Panel1->resize(size());
        Panel1->raise();
    }
    m_pages->addTab(page, title);
}

bool TForm3::isPanelShown() const
{
    return !Panel1->isHidden();
}

void TForm3::showPanel(bool shown)
{
    // The Options face is hidden under the panel so that Enter in a panel box cannot reach
    // the covered OK button.
    if (m_pages) {
        for (QWidget *covered : {static_cast<QWidget *>(m_pages), static_cast<QWidget *>(Button1),
                                 static_cast<QWidget *>(Button2)})
            covered->setVisible(!shown);
    } else {
        OptionsFace->setVisible(!shown);
    }
    Panel1->setVisible(shown);
    if (shown)
        Panel1->raise();
}

void TForm3::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (isPanelShown())
        Edit4->setFocus();
    else
        Button1->setFocus();
}
