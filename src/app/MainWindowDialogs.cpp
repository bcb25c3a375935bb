// The main window's side of the other windows (AttachedWindows: Options, the single-device
// panel, homepage, About, the splash), the Options dialog's changes, help and the log folder.

#include "MainWindow.h"

#include "PollRun.h"

#include "AttachedWindows.h"
#include "ErrorReport.h"
#include "GraphBoard.h"
#include "HelpWindow.h"
#include "LogFolder.h"
#include "ShellOpen.h"

#include <QDir>
#include <QFileInfo>

namespace
{

// The help file, opened from the current folder.
constexpr QStringView HelpFile = u"osl.chm";

} // namespace

void TForm1::attachWindows(TForm2 *about, TForm3 *options, TAboutBox1 *splash)
{
    m_windows->attach(about, options, splash);
}

TForm3 *TForm1::optionsDialog() const
{
    return m_windows->options();
}

void TForm1::setHighValueAll(int value)
{
    m_board->setHighValueAll(value);
}

void TForm1::setLowValueAll(int value)
{
    m_board->setLowValueAll(value);
}

void TForm1::setGraphHighColorAll(const QColor &color)
{
    m_board->setGraphHighColorAll(color);
}

void TForm1::setGraphNormalColorAll(const QColor &color)
{
    m_board->setGraphNormalColorAll(color);
}

void TForm1::setGraphLowColorAll(const QColor &color)
{
    m_board->setGraphLowColorAll(color);
}

void TForm1::setStopOnErrors(bool stop)
{
    setOnErrorMode(stop ? OnErrorMode::Stop : OnErrorMode::Zeroes);
}

void TForm1::rowRewritten(int row)
{
    m_pollRun->poller().discardRow(row);
    m_pollRun->forgetLinkHealthRow(row);
    refreshInterfaceListView();
}

void TForm1::setCounters64(bool on)
{
    m_pollRun->poller().counters().setEnabled(on);
    refreshInterfaceListView();
}

QString TForm1::counterDescription(int row) const
{
    return m_pollRun->poller().counters().description(row);
}

// The dialogs are attached by the program entry; until they are, these do nothing.
void TForm1::Options1Click()
{
    m_windows->showOptions();
}

void TForm1::editDevice(int slot)
{
    m_windows->editDevice(slot);
}

void TForm1::callforhelp()
{
    // A help file in the current folder goes to the desktop as always; without one the
    // program's own manual opens. Only when neither is there does the shell's failure show.
    if (!QFileInfo::exists(HelpFile.toString()) && HelpWindow::manualAvailable()) {
        HelpWindow::open(this);
        return;
    }
    // A relative name: the help file is looked up in the current folder.
    ErrorReport::guarded([] { ShellOpen::open(HelpFile.toString(), HelpFile.toString()); });
}

void TForm1::Openlogfolder1Click()
{
    // The folder the logs go to, shown in the desktop's file manager; the per-user folder is
    // created first if no log has been written yet.
    ErrorReport::guarded([] {
        const QString folder = LogFolder::folderForWriting();
        ShellOpen::open(folder, QDir::toNativeSeparators(folder));
    });
}

void TForm1::Producthomepage1Click()
{
    m_windows->openHomepage();
}

void TForm1::About1Click()
{
    m_windows->showAbout();
}

bool TForm1::openInTextEditor(const QString &path)
{
    return ShellOpen::openInTextEditor(path);
}
