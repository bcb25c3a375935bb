#pragma once

#include "PollResult.h"

#include <QList>
#include <QObject>
#include <QPointer>

class HistoryStore;
class HistoryWindow;
class TForm1;

// The history in the application: owns the store that keeps every finished poll and the
// history window, and adds "History..." to Tools and to every graph's context menu. It reads
// the main window only to learn which interface a graph shows and its thresholds; it never
// changes it. Created once by the program entry, after the main window.
class HistoryFeature : public QObject
{
    Q_OBJECT

public:
    // folder: where the history files are (HistoryFolder::defaultPath() in the program).
    HistoryFeature(TForm1 &window, const QString &folder);
    ~HistoryFeature() override;

    HistoryStore &store() { return *m_store; }
    // The window, created at its first opening (null before).
    HistoryWindow *window() const;

    // Opens the window on graph slot k's interface (0: the interface shown last).
    void open(int slot);

public Q_SLOTS:
    // The poll run's result of every finished poll (connected to the window's poll run).
    void onPollFinished(const PollResult &result);

private:
    QList<InterfaceReading> loadedInterfaces() const;

    TForm1 &m_main;
    HistoryStore *m_store = nullptr;
    QPointer<HistoryWindow> m_window;
    QList<InterfaceReading> m_lastPoll;
};
