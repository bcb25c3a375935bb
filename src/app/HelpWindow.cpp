#include "HelpWindow.h"

#include <QFile>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace
{

const QUrl &defaultSource()
{
    static const QUrl source(QStringLiteral("qrc:/ostraline/manual/manual.md"));
    return source;
}

QUrl &currentSource()
{
    static QUrl source = defaultSource();
    return source;
}

// The heading's block position, kept in the contents entry.
constexpr int PositionRole = Qt::UserRole;

// Counts the matches of text in the document (case-insensitive, as the search finds them).
int countMatches(const QTextDocument *document, const QString &text)
{
    int count = 0;
    for (QTextCursor at = document->find(text); !at.isNull(); at = document->find(text, at))
        ++count;
    return count;
}

} // namespace

QUrl HelpWindow::manualSource()
{
    return currentSource();
}

void HelpWindow::setManualSource(const QUrl &source)
{
    currentSource() = source.isEmpty() ? defaultSource() : source;
}

bool HelpWindow::manualAvailable()
{
    const QUrl source = manualSource();
    const QString path = source.scheme() == QLatin1String("qrc") ? QLatin1Char(':') + source.path()
                                                                 : source.toLocalFile();
    return !path.isEmpty() && QFile::exists(path);
}

HelpWindow *HelpWindow::open(QWidget *owner)
{
    HelpWindow *window =
        owner ? owner->findChild<HelpWindow *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!window)
        window = new HelpWindow(owner);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

HelpWindow::HelpWindow(QWidget *owner)
    : QWidget(owner, Qt::Window), m_browser(new QTextBrowser(this)),
      m_contents(new QTreeWidget(this)), m_search(new QLineEdit(this)), m_result(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Ostraline manual"));
    resize(900, 640);

    m_contents->setHeaderLabel(QStringLiteral("Contents"));
    m_contents->setAccessibleName(QStringLiteral("Contents"));
    m_browser->setOpenExternalLinks(true);
    m_browser->setSource(manualSource(), QTextDocument::MarkdownResource);

    m_search->setPlaceholderText(QStringLiteral("Search the manual"));
    m_search->setClearButtonEnabled(true);
    m_search->setAccessibleName(QStringLiteral("Search"));
    auto *searchLabel = new QLabel(QStringLiteral("&Search:"), this);
    searchLabel->setBuddy(m_search);
    auto *next = new QPushButton(QStringLiteral("&Next"), this);
    auto *previous = new QPushButton(QStringLiteral("&Previous"), this);
    auto *close = new QPushButton(QStringLiteral("&Close"), this);

    auto *bar = new QHBoxLayout;
    bar->addWidget(searchLabel);
    bar->addWidget(m_search, 1);
    bar->addWidget(previous);
    bar->addWidget(next);
    bar->addWidget(m_result);
    bar->addStretch();
    bar->addWidget(close);

    auto *splitter = new QSplitter(this);
    splitter->addWidget(m_contents);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({230, 670});

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(splitter, 1);

    fitPictures();
    buildContents();

    connect(m_search, &QLineEdit::returnPressed, this, &HelpWindow::findNext);
    connect(m_search, &QLineEdit::textChanged, this, [this] { m_result->clear(); });
    connect(next, &QPushButton::clicked, this, &HelpWindow::findNext);
    connect(previous, &QPushButton::clicked, this, &HelpWindow::findPrevious);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_contents, &QTreeWidget::itemActivated, this, &HelpWindow::showHeading);
    connect(m_contents, &QTreeWidget::currentItemChanged, this, &HelpWindow::showHeading);
    auto *focusSearch = new QShortcut(QKeySequence::Find, this);
    connect(focusSearch, &QShortcut::activated, this, [this] {
        m_search->setFocus(Qt::ShortcutFocusReason);
        m_search->selectAll();
    });
    auto *previousMatch = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Return), m_search);
    previousMatch->setContext(Qt::WidgetShortcut);
    connect(previousMatch, &QShortcut::activated, this, &HelpWindow::findPrevious);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

// Pictures wider than a comfortable reading width are shown smaller, in proportion.
void HelpWindow::fitPictures()
{
    constexpr int MaxWidth = 600;
    QTextDocument *document = m_browser->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextImageFormat format = fragment.charFormat().toImageFormat();
            if (!format.isValid())
                continue;
            const QVariant resource = document->resource(
                QTextDocument::ImageResource, m_browser->source().resolved(QUrl(format.name())));
            QImage image = resource.value<QImage>();
            if (image.isNull())
                image = QImage::fromData(resource.toByteArray());
            if (image.isNull() || image.width() <= MaxWidth)
                continue;
            format.setWidth(MaxWidth);
            format.setHeight(double(image.height()) * MaxWidth / image.width());
            QTextCursor cursor(document);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
        }
    }
}

// One entry per heading of the first two levels, the second level under the first.
void HelpWindow::buildContents()
{
    m_contents->clear();
    QTreeWidgetItem *top = nullptr;
    for (QTextBlock block = m_browser->document()->begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if (level < 1 || level > 2)
            continue;
        QTreeWidgetItem *item =
            (level == 2 && top) ? new QTreeWidgetItem(top) : new QTreeWidgetItem(m_contents);
        item->setText(0, block.text());
        item->setData(0, PositionRole, block.position());
        if (level == 1)
            top = item;
    }
    m_contents->expandAll();
}

void HelpWindow::showHeading(QTreeWidgetItem *item)
{
    if (!item)
        return;
    QTextCursor cursor(m_browser->document());
    cursor.setPosition(item->data(0, PositionRole).toInt());
    // To the end of the text first, so that the heading lands at the top of the view.
    m_browser->moveCursor(QTextCursor::End);
    m_browser->setTextCursor(cursor);
    m_browser->ensureCursorVisible();
}

void HelpWindow::findNext()
{
    find(false);
}

void HelpWindow::findPrevious()
{
    find(true);
}

void HelpWindow::find(bool backwards)
{
    const QString text = m_search->text();
    if (text.isEmpty()) {
        m_result->clear();
        return;
    }
    const QTextDocument *document = m_browser->document();
    const QTextDocument::FindFlags flags =
        backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    QTextCursor found = document->find(text, m_browser->textCursor(), flags);
    if (found.isNull()) {
        // Wrap around to the other end.
        QTextCursor start(m_browser->document());
        if (backwards)
            start.movePosition(QTextCursor::End);
        found = document->find(text, start, flags);
    }
    const int matches = countMatches(document, text);
    m_result->setText(matches == 0   ? QStringLiteral("No match")
                      : matches == 1 ? QStringLiteral("1 match")
                                     : QStringLiteral("%1 matches").arg(matches));
    if (!found.isNull()) {
        m_browser->setTextCursor(found);
        m_browser->ensureCursorVisible();
    }
}

QString HelpWindow::searchResult() const
{
    return m_result->text();
}
