#pragma once

class QMenu;
class QMenuBar;

// Gives every menu title and menu item without one an underlined letter (a mnemonic), unique
// within its menu: the first free initial of its words, else its first free letter or digit.
// The visible text stays the same; texts that already carry one ("&File") keep it.
namespace MenuMnemonics
{

void assign(QMenuBar *bar);
void assign(QMenu *menu);

} // namespace MenuMnemonics
