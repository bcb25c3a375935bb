#pragma once

class QMenu;
class QWidget;

// Keyboard reach of a graph slot: its mouse-taking overlay joins the Tab order, shows a focus
// frame while focused, and opens the slot's menu on Shift+F10 or the Menu key, at the
// middle of the graph.
namespace SlotKeyboard
{

void attach(QWidget *overlay, QMenu *menu, int slotNumber);

} // namespace SlotKeyboard
