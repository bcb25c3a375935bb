#include "SlotKeyboard.h"

#include "Histograph.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace
{

// Relative luminance of a colour as used for contrast ratios (sRGB, 0 black to 1 white).
double luminance(const QColor &color)
{
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) +
           0.0722 * channel(color.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A two-pixel frame drawn inside the edge of the focused graph, in a colour that stands out
// from the graph's background as it is at each paint (black, grey, red, ...). It takes no
// mouse input, so the overlay below keeps its menu and tooltip.
class FocusRing : public QWidget
{
public:
    FocusRing(QWidget *overlay, const THistograph *graph)
        : QWidget(overlay->parentWidget()), m_overlay(overlay), m_graph(graph)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

    void showOn()
    {
        setGeometry(m_overlay->geometry());
        raise();
        show();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        const QColor background = m_graph ? m_graph->BackgroundColor() : QColor(Qt::black);
        QPainter painter(this);
        painter.setPen(
            QPen(SlotKeyboard::frameColor(palette().color(QPalette::Highlight), background), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }

private:
    QWidget *m_overlay;
    QPointer<const THistograph> m_graph;
};

class SlotKeys : public QObject
{
public:
    SlotKeys(QWidget *overlay, QMenu *menu, const THistograph *graph)
        : QObject(overlay), m_overlay(overlay), m_menu(menu), m_graph(graph)
    {
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_overlay)
            return false;
        switch (event->type()) {
        case QEvent::KeyPress: {
            const auto *key = static_cast<QKeyEvent *>(event);
            const bool menuKey = key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier;
            const bool shiftF10 =
                key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier;
            if (!menuKey && !shiftF10)
                return false;
            openMenu();
            return true;
        }
        case QEvent::ContextMenu:
            // The Menu key also arrives as a context-menu request of the keyboard.
            if (static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard) {
                openMenu();
                return true;
            }
            return false;
        case QEvent::FocusIn:
            if (!m_ring)
                m_ring = new FocusRing(m_overlay, m_graph);
            m_ring->showOn();
            return false;
        case QEvent::FocusOut:
            if (m_ring)
                m_ring->hide();
            return false;
        default:
            return false;
        }
    }

private:
    void openMenu()
    {
        const QRect area = m_overlay->rect();
        m_menu->popup(m_overlay->mapToGlobal(area.center()));
        if (!m_menu->actions().isEmpty())
            m_menu->setActiveAction(m_menu->actions().first());
    }

    QWidget *m_overlay;
    QMenu *m_menu;
    const THistograph *m_graph;
    QPointer<FocusRing> m_ring;
};

} // namespace

namespace SlotKeyboard
{

void attach(QWidget *overlay, QMenu *menu, int slotNumber, const THistograph *graph)
{
    overlay->setFocusPolicy(Qt::StrongFocus);
    overlay->setAccessibleName(QStringLiteral("Graph %1").arg(slotNumber));
    overlay->installEventFilter(new SlotKeys(overlay, menu, graph));
}

QColor frameColor(const QColor &highlight, const QColor &background)
{
    constexpr double Enough = 3.0;
    if (contrast(highlight, background) >= Enough)
        return highlight;
    const QColor white(Qt::white), black(Qt::black);
    return contrast(white, background) >= contrast(black, background) ? white : black;
}

} // namespace SlotKeyboard
