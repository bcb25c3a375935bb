// Linked into a copy of the program, next to its own main(), to time the start-up: when the
// main window is first exposed (and therefore painted), prints the milliseconds since this
// process's static initialisation as "shown MS" and ends the program normally.

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdio>

namespace
{

QElapsedTimer &sinceStart()
{
    static QElapsedTimer clock;
    return clock;
}

const bool clockStarted = [] {
    sinceStart().start();
    return true;
}();

class FirstExposure : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (m_seen || event->type() != QEvent::Expose)
            return false;
        auto *window = qobject_cast<QWindow *>(watched);
        if (!window || !window->isExposed())
            return false;
        const QWidgetList widgets = QApplication::topLevelWidgets();
        for (const QWidget *widget : widgets) {
            if (widget->windowHandle() == window && widget->inherits("TForm1")) {
                m_seen = true;
                // Queued: the exposure is handled (painted and flushed) before this runs.
                QTimer::singleShot(0, qApp, [] {
                    std::printf("shown %.2f\n", double(sinceStart().nsecsElapsed()) / 1e6);
                    std::fflush(stdout);
                    QCoreApplication::quit();
                });
            }
        }
        return false;
    }

private:
    bool m_seen = false;
};

void installProbe()
{
    qApp->installEventFilter(new FirstExposure(qApp));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)
