#include "PanelStatusBar.h"

#include <QLabel>

#include <algorithm>
#include <utility>

PanelStatusBar::PanelStatusBar(std::vector<int> widths, QWidget *parent)
    : QStatusBar(parent), m_widths(std::move(widths))
{
    setSizeGripEnabled(false);
    // The panels are placed here rather than by the bar's own layout, which would add margins
    // and spacing and so move every panel off its position.
    for (std::size_t i = 0; i <= m_widths.size(); ++i) {
        auto *panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        // Texts carry interface descriptions, which may come from an agent: never markup.
        panel->setTextFormat(Qt::PlainText);
        m_panels.push_back(panel);
    }
    int height = 0;
    for (const QLabel *panel : m_panels)
        height = std::max(height, panel->sizeHint().height());
    setMinimumHeight(height + 4);
    placePanels();
}

void PanelStatusBar::resizeEvent(QResizeEvent *event)
{
    QStatusBar::resizeEvent(event);
    placePanels();
}

void PanelStatusBar::placePanels()
{
    int x = 0;
    for (std::size_t i = 0; i < m_panels.size(); ++i) {
        const int width = i < m_widths.size() ? m_widths[i] : std::max(0, this->width() - x);
        m_panels[i]->setGeometry(x, 0, width, height());
        x += width;
    }
}
