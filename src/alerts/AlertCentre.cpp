#include "AlertCentre.h"

#include "ErrorReport.h"
#include "PollResult.h"
#include "SettingsStore.h"

#include <algorithm>

AlertCentre::AlertCentre(const QString &filePath, QObject *parent)
    : QObject(parent), m_file(filePath), m_notifier(std::make_unique<DesktopNotifier>())
{
    connect(m_notifier.get(), &DesktopNotifier::activated, this, &AlertCentre::activated);
    connect(&m_command, &AlertCommand::failed, this, &AlertCentre::statusMessage);
    connect(&m_file, &AlertFileWriter::written, this, &AlertCentre::fileWritten);
    loadHistory();
}

AlertCentre::AlertCentre(const QString &filePath, const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_file(filePath), m_notifier(std::make_unique<DesktopNotifier>(bus))
{
    connect(m_notifier.get(), &DesktopNotifier::activated, this, &AlertCentre::activated);
    connect(&m_command, &AlertCommand::failed, this, &AlertCentre::statusMessage);
    connect(&m_file, &AlertFileWriter::written, this, &AlertCentre::fileWritten);
    loadHistory();
}

void AlertCentre::loadHistory()
{
    QList<AlertEvent> events;
    QString error;
    // Twice the rows: most rows are a raise and its clear.
    if (!AlertFile(m_file.path()).load(&events, 2 * AlertHistory::MaxRows, &error)) {
        m_fileFailureReported = true;
        m_loadError = error;
        return;
    }
    for (const AlertEvent &event : events)
        m_history.add(event);
}

void AlertCentre::apply(const AlertSettings::Values &values, const AlertRules &rules)
{
    m_values = values;
    m_engine.setRules(rules);
    m_command.setCommandLine(values.command);
}

void AlertCentre::reloadSettings()
{
    ErrorReport::guarded([this] {
        SettingsStore store;
        const AlertSettings::Values values = AlertSettings::read(store);
        apply(values, AlertSettings::rules(store, values));
    });
}

void AlertCentre::pollingStarted()
{
    m_engine.pollingStarted();
}

void AlertCentre::interfacesLoaded(const QList<InterfaceReading> &loaded)
{
    m_engine.interfacesLoaded(loaded);
}

void AlertCentre::onPollFinished(const PollResult &result)
{
    if (!m_values.on)
        return;
    const QList<AlertEvent> events = m_engine.evaluate(result);
    if (!events.isEmpty())
        deliver(events);
}

void AlertCentre::deliver(const QList<AlertEvent> &events)
{
    m_file.append(events);
    for (const AlertEvent &event : events) {
        m_history.add(event);
        m_notifier->notify(event);
        m_command.run(event);
    }
    // One line: a raise matters more than a clear.
    const auto raised = std::find_if(events.cbegin(), events.cend(), [](const AlertEvent &e) {
        return e.state == AlertState::Raised;
    });
    const AlertEvent &shown = raised != events.cend() ? *raised : events.constFirst();
    QString text = QStringLiteral("Alert: ") + shown.summary() + QStringLiteral(" (") +
                   shown.value + QLatin1Char(')');
    if (events.size() > 1)
        text += QStringLiteral(" and %1 more, see Tools > Alerts...").arg(events.size() - 1);
    Q_EMIT statusMessage(text);
    Q_EMIT historyChanged();
}

void AlertCentre::fileWritten(bool ok, const QString &error)
{
    if (ok) {
        m_fileFailureReported = false;
    } else if (!m_fileFailureReported) {
        m_fileFailureReported = true;
        Q_EMIT statusMessage(error);
    }
}
