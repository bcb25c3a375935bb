#pragma once

#include "AlertCentre.h"

#include <QObject>

class AlertsDialog;
class AlertsOptionsPage;
class TForm1;
class TForm3;

// The alerts in the main window: the poll run's results judged by the alert centre, the
// "Alerts" page of the Options dialog, Tools > "Alerts..."
// with the alert list, alert texts in the first status-bar panel, and a click on a
// notification bringing the window to the front. The program entry creates one after the
// windows; it lives as long as they do.
class AlertsFeature : public QObject
{
    Q_OBJECT

public:
    AlertsFeature(TForm1 &window, TForm3 &options,
                  const QString &filePath = AlertFile::defaultPath());
    // The same with a bus of the caller's (tests).
    AlertsFeature(TForm1 &window, TForm3 &options, const QString &filePath,
                  const QDBusConnection &bus);

    AlertCentre &centre() { return m_centre; }
    AlertsOptionsPage *page() const { return m_page; }
    // The alert list window, once Tools > "Alerts..." has opened it.
    AlertsDialog *dialog() const { return m_dialog; }

    void Alerts1Click(); // Tools > Alerts...

private:
    void attach();
    void storePage();
    void raiseWindow();

    TForm1 &m_window;
    TForm3 &m_options;
    AlertCentre m_centre;
    AlertsOptionsPage *m_page = nullptr;
    AlertsDialog *m_dialog = nullptr; // a child of the window
};
