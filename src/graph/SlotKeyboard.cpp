#include "SlotKeyboard.h"

#include <QEvent>
#include <QFocusFrame>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QWidget>

namespace
{

class SlotKeys : public QObject
{
public:
    SlotKeys(QWidget *overlay, QMenu *menu) : QObject(overlay), m_overlay(overlay), m_menu(menu) {}

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
            if (!m_frame)
                m_frame = new QFocusFrame(m_overlay->parentWidget());
            m_frame->setWidget(m_overlay);
            m_frame->show();
            return false;
        case QEvent::FocusOut:
            if (m_frame)
                m_frame->hide();
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
    QPointer<QFocusFrame> m_frame;
};

} // namespace

namespace SlotKeyboard
{

void attach(QWidget *overlay, QMenu *menu, int slotNumber)
{
    overlay->setFocusPolicy(Qt::StrongFocus);
    overlay->setAccessibleName(QStringLiteral("Graph %1").arg(slotNumber));
    overlay->installEventFilter(new SlotKeys(overlay, menu));
}

} // namespace SlotKeyboard
