#pragma once

#include <QUrl>
#include <QWidget>

class QLabel;
class QLineEdit;
class QTextBrowser;
class QTreeWidget;
class QTreeWidgetItem;

// The program's own manual: a Markdown text built into the resources with its pictures,
// shown with a table of contents (its headings) and a search field. One window per owner:
// open() raises the one already there.
class HelpWindow : public QWidget
{
    Q_OBJECT

public:
    // Shows the manual in a window of owner (created on first use), raised and active.
    static HelpWindow *open(QWidget *owner);

    // The manual's location; an empty or missing one means there is no manual.
    static QUrl manualSource();
    // Tests point it elsewhere to see the program without a manual; empty restores it.
    static void setManualSource(const QUrl &source);
    static bool manualAvailable();

    QTextBrowser *browser() const { return m_browser; }
    QTreeWidget *contents() const { return m_contents; }
    QLineEdit *searchField() const { return m_search; }
    // "3 matches", "1 match", "No match" or empty.
    QString searchResult() const;

public Q_SLOTS:
    // Selects the next (or previous) match of the search text, wrapping at the end.
    void findNext();
    void findPrevious();

private:
    explicit HelpWindow(QWidget *owner);
    void fitPictures();
    void buildContents();
    void find(bool backwards);
    void showHeading(QTreeWidgetItem *item);

    QTextBrowser *m_browser;
    QTreeWidget *m_contents;
    QLineEdit *m_search;
    QLabel *m_result;
};
