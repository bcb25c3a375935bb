#pragma once

#include "AlertCommand.h"
#include "AlertEngine.h"
#include "AlertFile.h"
#include "AlertFileWriter.h"
#include "AlertHistory.h"
#include "AlertSettings.h"
#include "DesktopNotifier.h"
#include "PollResult.h"

#include <QObject>

#include <memory>

// The alerts of one program run: listens to the poll run's results, judges them (AlertEngine)
// and hands every change to the alert list and its file, the desktop notification service,
// the alert command and the status bar. With alerts off, results are ignored and nothing is
// judged, written, shown or run.
class AlertCentre : public QObject
{
    Q_OBJECT

public:
    // The alert list is filled from the file at once. Notifications go to the session bus.
    explicit AlertCentre(const QString &filePath = AlertFile::defaultPath(),
                         QObject *parent = nullptr);
    // The same with a bus of the caller's (tests).
    AlertCentre(const QString &filePath, const QDBusConnection &bus, QObject *parent = nullptr);

    void apply(const AlertSettings::Values &values, const AlertRules &rules);
    // Reads the alert settings, the high threshold and the on-error mode from the settings
    // store and applies them; a store that cannot be read is reported and changes nothing.
    void reloadSettings();
    bool enabled() const { return m_values.on; }
    // Why the alert list could not be read from its file at construction ("" when it could).
    QString loadError() const { return m_loadError; }

    const AlertHistory &history() const { return m_history; }
    AlertEngine &engine() { return m_engine; }
    AlertCommand &command() { return m_command; }
    DesktopNotifier &notifier() { return *m_notifier; }

public Q_SLOTS:
    void onPollFinished(const PollResult &result);
    // Start polling: ports must be seen up again before they can be Down.
    void pollingStarted();
    // A device file was loaded: the interfaces no longer loaded are forgotten.
    void interfacesLoaded(const QList<InterfaceReading> &loaded);

Q_SIGNALS:
    // One line for the status bar: an alert, or a failure of the file or the command.
    void statusMessage(const QString &text);
    // The operator clicked a notification: the window should come to the front.
    void activated();
    void historyChanged();

private:
    void loadHistory();
    void deliver(const QList<AlertEvent> &events);
    void fileWritten(bool ok, const QString &error);

    AlertSettings::Values m_values;
    AlertEngine m_engine;
    AlertFileWriter m_file;
    AlertHistory m_history;
    AlertCommand m_command;
    std::unique_ptr<DesktopNotifier> m_notifier;
    bool m_fileFailureReported = false;
    QString m_loadError;
};
