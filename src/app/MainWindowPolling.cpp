// Device file load and the poll cycle: start, stop, the two timers, the interval change
// and the three steps of a poll.

#include "MainWindow.h"

#include "AgentAddresses.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"
#include "PollCycle.h"

#include "PollRun.h"

#include "DeviceFile.h"
#include "DeviceFileChooser.h"
#include "ErrorReport.h"
#include "GraphBoard.h"
#include "Histograph.h"
#include "LinkHealthDisplay.h"
#include "MetricsFeature.h"
#include "NumberFormat.h"
#include "PollValuesDisplay.h"
#include "SettingValues.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"
#include "ShellOpen.h"
#include "TransLabel.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include <utility>

void TForm1::refreshInterfaceListView()
{
    CheckListBox1->clear();
    for (int p = 0; p < m_list.count(); ++p) {
        auto *item = new QListWidgetItem(m_list.text(p), CheckListBox1);
        item->setFlags(Qt::ItemIsEnabled);
        item->setCheckState(m_list.isChecked(p) ? Qt::Checked : Qt::Unchecked);
        item->setToolTip(m_pollRun->poller().counters().description(p + 1));
    }
}

bool TForm1::deferredUntilPollEnds(void (TForm1::*handler)())
{
    if (!m_pollRun->inFlight())
        return false;
    m_deferredHandlers.push_back(handler);
    return true;
}

void TForm1::runDeferredHandlers()
{
    // Handlers run in the order they were asked for; none can find a poll in flight now.
    const std::vector<void (TForm1::*)()> handlers = std::exchange(m_deferredHandlers, {});
    for (const auto handler : handlers)
        (this->*handler)();
}

void TForm1::cancelPollInFlight()
{
    m_pollRun->cancel();
    runDeferredHandlers();
}

void TForm1::stopForLoad()
{
    cancelPollInFlight();
    m_pollRun->poller().counters().resetAll();
    m_pollCycle.stop();
    Edit4->setText(QStringLiteral("0"));
    Button4->hide();
    Button3->show();
}

void TForm1::Button8Click()
{
    ErrorReport::guarded([this] {
        setStatusText(0, QString());
        setStatusText(1, QString());
        Button6Click();
        stopForLoad();
        for (int row = 1; row <= InterfaceTable::InterfaceRows; ++row) {
            for (int column = Col::Number; column <= Col::Bandwidth; ++column)
                m_table.setCell(column, row, QString());
        }
        m_list.clear();
        refreshInterfaceListView();

        QStringList lines;
        QList<LineEncoding> encodings;
        QString loaded; // the file read, for deviceFileLoaded
        if (m_loadSource.isEmpty()) {
            const QString chosen = chooseDeviceFile();
            // After a cancel the path is the last name chosen in the dialog, or empty.
            m_deviceFilePath = m_deviceFileChooser->lastChosen();
            if (!chosen.isEmpty())
                lines = DeviceFile::readLines(chosen, DeviceFile::MaxInterfaces + 1, &encodings);
            loaded = chosen;
        } else {
            m_loadSource.clear(); // also after a failed read: the next load asks for a file
            lines =
                DeviceFile::readLines(m_deviceFilePath, DeviceFile::MaxInterfaces + 1, &encodings);
            loaded = m_deviceFilePath;
        }

        if (lines.isEmpty()) {
            m_pollRun->poller().closeUnlistedSessions();
            Button4Click();
            Button3->setEnabled(false);
            setStatusText(0, QStringLiteral("No device file selected!"));
            return;
        }

        // A 21st line ends the storing; the load still completes for the first 20.
        const bool complete = DeviceFile::store(lines, m_table, m_list, encodings);
        m_pollRun->poller().closeUnlistedSessions();
        refreshInterfaceListView();
        m_board->setIntervalAll(m_pollCycle.pollInterval());
        m_board->setBackgroundAll(GraphBoard::RunningColor);
        m_board->clearAll();
        Activegraphs();
        m_board->repaintAll();
        Button3->setEnabled(true);
        if (!complete)
            setStatusText(0,
                          QStringLiteral("Only the first 20 lines of the device file are used."));
        else if (const QString refused =
                     AgentAddresses::groupAddressRefusal(m_table, m_list.count());
                 !refused.isEmpty())
            setStatusText(0, refused);
        Q_EMIT deviceFileLoaded(loaded);
    });
    showLoadedSlots();
}

void TForm1::showLoadedSlots()
{
    // Every slot shows what is loaded now, also after a failed or cancelled load: the name
    // from the device file, and nothing of the file before (its names on slots beyond the new
    // file, its error times, its last values, the peaks in the tooltips).
    for (int k = 1; k <= GraphSlotControl::SlotCount; ++k) {
        m_board->slot(k).NameCaption->setCaption(
            k <= m_list.count() ? m_table.cell(Col::Description, k) : QString());
        m_board->setErrorCaption(k, QString());
    }
    m_pollValues->interfacesLoaded();
    const QList<InterfaceReading> loaded = loadedInterfaces();
    m_metrics->interfacesLoaded(loaded);
    Q_EMIT interfacesLoaded(loaded);
}

QList<InterfaceReading> TForm1::loadedInterfaces() const
{
    return m_pollRun->loadedInterfaces();
}

QString TForm1::chooseDeviceFile()
{
    return m_deviceFileChooser->chooseToOpen();
}

void TForm1::setDeviceFileChooser(std::function<QString()> chooser)
{
    m_deviceFileChooser->replace(std::move(chooser));
}

void TForm1::Editdevicefile1Click()
{
    const QString chosen = chooseDeviceFile();
    if (!chosen.isEmpty())
        ShellOpen::openInTextEditor(chosen);
}

void TForm1::Button3Click()
{
    Button3->hide();
    Button4->show();
    Button4->repaint();
    if (m_list.isEmpty()) {
        m_pollCycle.stop();
        return;
    }
    setStatusText(0, QString());
    m_pollRun->poller().counters().resetAll();
    m_pollRun->resetLinkHealth();
    m_linkHealth->reset();
    m_pollValues->start();
    m_pollCycle.start();
    runPoll();
}

void TForm1::Button4Click()
{
    cancelPollInFlight();
    m_pollCycle.stop();
    setStatusText(0, QStringLiteral("Polling stopped by user."));
    Button4->hide();
    Button3->show();
    Edit4->setText(QStringLiteral("0"));
    m_board->setActiveAll(false);
    resetComputedCellsOfCheckedRows();
}

void TForm1::Timer1Timer()
{
    m_pollCycle.pollTimerEvent();
}

void TForm1::Timer2Timer()
{
    m_pollCycle.countdownTimerEvent();
}

void TForm1::runPoll()
{
    // Polls never overlap: an event that falls due while one is in flight is merged into it.
    if (!m_pollRun->inFlight())
        Button7Click();
}

void TForm1::Button7Click()
{
    m_pollRun->setDeviceFilePath(m_deviceFilePath);
    m_pollRun->start();
}

void TForm1::Button2Click()
{
    m_pollRun->calculate();
}

void TForm1::resetComputedCellsOfCheckedRows()
{
    for (int p = 0; p < m_list.count(); ++p) {
        if (m_list.isChecked(p))
            m_table.resetComputedColumns(p + 1);
    }
}

int TForm1::selectedInterval() const
{
    for (std::size_t i = 0; i < PollCycle::Intervals.size(); ++i) {
        if (m_intervalRadios[i]->isChecked())
            return PollCycle::Intervals[i];
    }
    return PollCycle::DefaultInterval;
}

void TForm1::RadioButton5Click()
{
    if (deferredUntilPollEnds(&TForm1::RadioButton5Click))
        return;
    ErrorReport::guarded([this] {
        const int interval = selectedInterval();
        m_pollCycle.setPollInterval(interval);
        m_pollRun->setPollInterval(interval);
        Label32->setText(QString::number(interval));
        storeSetting(SettingsKeys::Intervall, SettingValues::wholeText(interval));
        m_board->setVertLinesIntervalAll(interval * 10);
        const bool twice = CheckBoxDouble->isChecked();
        m_board->setIntervalAll(twice ? interval / 2 : interval);
        storeSetting(SettingsKeys::DoubleUpdateSpeed, SettingValues::flagText(twice));
        action(QStringLiteral("Doubleupdatespeed1"))->setChecked(twice);
        resetComputedCellsOfCheckedRows();
    });
}

void TForm1::selectInterval(int seconds, QAction *menuItem)
{
    for (QAction *item : m_intervalItems)
        item->setChecked(item == menuItem);
    QRadioButton *radio = intervalRadio(seconds);
    if (radio->isChecked())
        RadioButton5Click(); // the same choice again still runs the change
    else
        radio->setChecked(true);
}

void TForm1::N3seconds1Click()
{
    selectInterval(3, m_intervalItems[0]);
}
void TForm1::N6seconds1Click()
{
    selectInterval(6, m_intervalItems[1]);
}
void TForm1::N12seconds1Click()
{
    selectInterval(12, m_intervalItems[2]);
}
void TForm1::N30seconds1Click()
{
    selectInterval(30, m_intervalItems[3]);
}
void TForm1::N60seconds1Click()
{
    selectInterval(60, m_intervalItems[4]);
}
void TForm1::N120seconds1Click()
{
    selectInterval(120, m_intervalItems[5]);
}

void TForm1::Doubleupdatespeed1Click()
{
    CheckBoxDouble->toggle(); // runs the interval change, which sets the check mark
}

void TForm1::storeSetting(QStringView name, const QString &text)
{
    // A store that cannot be written is reported (once) and the change still applies for this
    // run: the rest of the handler goes on.
    ErrorReport::guarded([&] {
        SettingsStore store;
        store.write(name, text);
    });
}
