#include "MenuMnemonics.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSet>

namespace
{

// The mnemonic letter of a text, lower case, or a null character for none ("&&" is a plain
// ampersand).
QChar mnemonicOf(const QString &text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text.at(i) != u'&')
            continue;
        if (text.at(i + 1) == u'&') {
            ++i;
            continue;
        }
        return text.at(i + 1).toLower();
    }
    return {};
}

// The text with a mnemonic on a free letter, or unchanged when none is free.
QString withMnemonic(const QString &text, QSet<QChar> &used)
{
    QList<qsizetype> candidates;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isLetterOrNumber() && (i == 0 || text.at(i - 1) == u' '))
            candidates << i;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isLetterOrNumber())
            candidates << i;
    }
    if (candidates.isEmpty() && !text.isEmpty() && text.at(0) != u'&')
        candidates << 0; // "?": a sign is all there is
    for (const qsizetype i : std::as_const(candidates)) {
        const QChar letter = text.at(i).toLower();
        if (used.contains(letter))
            continue;
        used.insert(letter);
        QString marked = text;
        marked.insert(i, u'&');
        return marked;
    }
    return text;
}

void assignActions(const QList<QAction *> &actions)
{
    QSet<QChar> used;
    for (const QAction *action : actions) {
        if (const QChar letter = mnemonicOf(action->text()); !letter.isNull())
            used.insert(letter);
    }
    for (QAction *action : actions) {
        if (action->isSeparator() || action->text().isEmpty())
            continue;
        if (mnemonicOf(action->text()).isNull())
            action->setText(withMnemonic(action->text(), used));
        if (QMenu *submenu = action->menu())
            MenuMnemonics::assign(submenu);
    }
}

} // namespace

namespace MenuMnemonics
{

void assign(QMenuBar *bar)
{
    assignActions(bar->actions());
}

void assign(QMenu *menu)
{
    assignActions(menu->actions());
}

} // namespace MenuMnemonics
