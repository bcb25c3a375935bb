#pragma once

#include <QObject>
#include <QPointer>

class PortsModel;
class QWidget;
class TForm1;

// View > "Ports": the loaded interfaces of the latest poll as a sortable table (PortsModel) in
// a window of its own, beside the "Show more" table, which stays. The model follows every
// finished poll whether or not the window is open, and is emptied when a device file is
// loaded. Created once by the program entry, after the main window.
class PortsFeature : public QObject
{
    Q_OBJECT

public:
    explicit PortsFeature(TForm1 &window);

    PortsModel &model() { return *m_model; }
    // The window, created at its first opening (null before).
    QWidget *window() const { return m_window; }
    void open();

private:
    TForm1 &m_main;
    PortsModel *m_model = nullptr;
    QPointer<QWidget> m_window;
};
