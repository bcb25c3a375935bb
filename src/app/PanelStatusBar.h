#pragma once

#include <QStatusBar>

#include <vector>

class QLabel;

// A status bar of text panels laid side by side from its left edge: every panel but the last
// has a fixed width, the last one takes the rest of the bar.
class PanelStatusBar : public QStatusBar
{
    Q_OBJECT

public:
    // widths: the fixed widths of all panels but the last.
    explicit PanelStatusBar(std::vector<int> widths, QWidget *parent = nullptr);

    int panelCount() const { return int(m_panels.size()); }
    QLabel *panel(int index) const { return m_panels.at(std::size_t(index)); }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void placePanels();

    std::vector<int> m_widths;
    std::vector<QLabel *> m_panels;
};
