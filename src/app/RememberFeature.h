#pragma once

#include <QObject>
#include <QStringList>

class QMenu;
class RememberOptionsPage;
class TForm1;
class TForm3;

// What the program remembers between runs: File > "Recent device files" (the last
// SettingsKeys::RecentFilesKept device files loaded, setting "recent files"), the start that
// resumes polling (setting "resume polling") and how long the daily logs are kept (setting
// "log keep days", handed to the logs); the last two on the Options dialog's "Start and logs"
// page. Created once by the program entry, after the main window and its other features.
//
// With "resume polling" "yes" the start loads the newest recent device file when start-up
// loaded none (no command-line file, no active first-start file) and then starts polling as
// "Start polling" does. With "no" (the default) this class changes nothing of the start.
class RememberFeature : public QObject
{
    Q_OBJECT

public:
    RememberFeature(TForm1 &window, TForm3 &options);

    QMenu *recentMenu() const { return m_recent; }
    QStringList recentFiles() const { return m_paths; }

    // A recent entry chosen: loads it, or, when the file is gone, drops it with a note.
    void openRecent(const QString &path);

private:
    void remember(const QString &path);
    void store();
    void fillMenu();
    void readPage();
    void storePage();
    void applyKeepDays();
    void resumeAtStart();

    TForm1 &m_window;
    TForm3 &m_options;
    QMenu *m_recent = nullptr;
    RememberOptionsPage *m_page = nullptr;
    QStringList m_paths;
};
