#pragma once

#include <QColor>

class QMenu;
class QWidget;
class THistograph;

// Keyboard reach of a graph slot: its mouse-taking overlay joins the Tab order, shows a focus
// frame while focused, and opens the slot's menu on Shift+F10 or the Menu key, at the
// middle of the graph.
namespace SlotKeyboard
{

// graph: the slot's graph, whose background the focus frame must stand out from.
void attach(QWidget *overlay, QMenu *menu, int slotNumber, const THistograph *graph);

// The focus frame's colour over a graph of this background: the palette's highlight when it
// stands out from the background (a contrast ratio of at least 3:1), else white or black,
// whichever stands out more.
QColor frameColor(const QColor &highlight, const QColor &background);

} // namespace SlotKeyboard
