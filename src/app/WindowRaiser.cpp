#include "WindowRaiser.h"

#include <QApplication>
#include <QWidget>

WindowRaiser::WindowRaiser(QWidget &window) : QObject(&window), m_window(window)
{
    setObjectName(QStringLiteral("windowRaiser"));
}

WindowRaiser &WindowRaiser::of(QWidget &window)
{
    for (QObject *child : window.children()) {
        if (auto *raiser = dynamic_cast<WindowRaiser *>(child))
            return *raiser;
    }
    return *new WindowRaiser(window);
}

bool WindowRaiser::raise()
{
    if (m_last.isValid() && m_last.elapsed() < MinGapMs)
        return false;
    m_last.start();
    m_window.setWindowState((m_window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    m_window.show();
    m_window.raise();
    m_window.activateWindow();
    if (QWidget *modal = QApplication::activeModalWidget(); modal && modal != &m_window) {
        modal->raise();
        modal->activateWindow();
    }
    return true;
}
