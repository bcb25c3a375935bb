#include "HistoryWindow.h"

#include "BitRateText.h"
#include "HistoryCsv.h"
#include "HistoryExportName.h"
#include "HistoryGraph.h"
#include "HistoryPicture.h"
#include "HistoryReader.h"
#include "HistoryStatistics.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

std::int64_t HistoryWindow::secondsOf(Span span)
{
    constexpr std::int64_t Hour = 3600, Day = 24 * Hour;
    switch (span) {
    case Span::Hour:
        return Hour;
    case SixHours:
        return 6 * Hour;
    case Span::Day:
        return Day;
    case Week:
        return 7 * Day;
    case Month:
        return 30 * Day;
    case Year:
        return 365 * Day;
    case Custom:
        break;
    }
    return Hour;
}

HistoryWindow::HistoryWindow(QString folder, QWidget *parent)
    : HistoryWindow(*new HistoryLoader(std::move(folder)), parent)
{
    m_loader->setParent(this);
}

HistoryWindow::HistoryWindow(HistoryLoader &loader, QWidget *parent)
    : QWidget(parent, Qt::Window), m_folder(loader.folder()), m_loader(&loader)
{
    setWindowTitle(QStringLiteral("History"));
    resize(900, 520);

    m_interfaces = new QComboBox(this);
    m_interfaces->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_spans = new QButtonGroup(this);
    auto *spanRow = new QHBoxLayout;
    spanRow->addWidget(new QLabel(QStringLiteral("Interface:"), this));
    spanRow->addWidget(m_interfaces, 1);
    const std::pair<Span, QString> spans[] = {
        {Hour, QStringLiteral("Hour")},       {SixHours, QStringLiteral("6 hours")},
        {Day, QStringLiteral("Day")},         {Week, QStringLiteral("Week")},
        {Month, QStringLiteral("Month")},     {Year, QStringLiteral("Year")},
        {Custom, QStringLiteral("Custom...")}};
    for (const auto &[span, text] : spans) {
        auto *button = new QToolButton(this);
        button->setText(text);
        button->setCheckable(span != Custom);
        m_spans->addButton(button, span);
        spanRow->addWidget(button);
    }
    m_spans->button(Hour)->setChecked(true);
    // The value axis scales to the traffic in view; this makes it reach the bandwidth too.
    auto *scaleToBandwidth = new QCheckBox(QStringLiteral("Scale to &bandwidth"), this);
    scaleToBandwidth->setObjectName(QStringLiteral("scaleToBandwidth"));
    spanRow->addWidget(scaleToBandwidth);

    m_graph = new HistoryGraph(this);
    m_statistics = new QLabel(this);
    m_statistics->setTextFormat(Qt::PlainText);
    m_statistics->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont fixed = m_statistics->font();
    fixed.setFamily(QStringLiteral("monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    m_statistics->setFont(fixed);
    m_readOut = new QLabel(this);
    m_message = new QLabel(this);
    auto *png = new QPushButton(QStringLiteral("Save as PNG"), this);
    auto *csv = new QPushButton(QStringLiteral("Export CSV"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_readOut, 1);
    buttons->addWidget(png);
    buttons->addWidget(csv);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(spanRow);
    layout->addWidget(m_graph, 1);
    layout->addWidget(m_statistics);
    layout->addWidget(m_message);
    layout->addLayout(buttons);

    connect(m_spans, &QButtonGroup::idClicked, this, [this](int id) {
        if (id == Custom)
            chooseCustom();
        else
            setSpan(static_cast<Span>(id));
    });
    // Another interface: its own newest poll ends the span (a custom range stays).
    connect(m_interfaces, &QComboBox::currentIndexChanged, this, [this] {
        if (m_span == Custom)
            load(m_graph->viewFrom(), m_graph->viewTo());
        else
            setSpan(m_span);
    });
    connect(m_graph, &HistoryGraph::viewChanged, this, [this](std::int64_t from, std::int64_t to) {
        m_followSpan = false;
        load(from, to);
    });
    connect(m_loader, &HistoryLoader::answered, this, &HistoryWindow::answered);
    m_slow = new QTimer(this);
    m_slow->setSingleShot(true);
    m_slow->setInterval(300);
    connect(m_slow, &QTimer::timeout, this, [this] { m_message->setText(ReadingText.toString()); });
    m_silent = new QTimer(this);
    m_silent->setSingleShot(true);
    m_silent->setTimerType(Qt::PreciseTimer); // a coarse timer may fire up to 5 % early
    m_silent->setInterval(SilentAfterMs);
    connect(m_silent, &QTimer::timeout, this,
            [this] { m_message->setText(SilentText.toString()); });
    connect(m_graph, &HistoryGraph::spanResetRequested, this, [this] {
        if (m_span == Custom)
            setRange(m_customFrom, m_customTo);
        else
            setSpan(m_span);
    });
    connect(m_graph, &HistoryGraph::hovered, m_readOut, &QLabel::setText);
    connect(scaleToBandwidth, &QCheckBox::toggled, m_graph, &HistoryGraph::setScaleToBandwidth);
    connect(png, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getSaveFileName(this, QStringLiteral("Save as PNG"),
                                         QDir::home().filePath(proposedName(QStringLiteral("png"))),
                                         QStringLiteral("PNG pictures (*.png)"));
        if (!path.isEmpty() && !savePng(path))
            m_message->setText(QStringLiteral("Cannot save the picture \"%1\".").arg(path));
    });
    connect(csv, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"),
                                         QDir::home().filePath(proposedName(QStringLiteral("csv"))),
                                         QStringLiteral("CSV files (*.csv)"));
        QString error;
        if (!path.isEmpty() && !saveCsv(path, &error))
            m_message->setText(error);
    });

    fillList({});
    m_listWanted = true; // the list of files goes with the first read
    setSpan(Hour);
}

HistoryFileName::Key HistoryWindow::currentKey() const
{
    const int index = m_interfaces->currentIndex();
    return index >= 0 && index < m_choices.size() ? m_choices[index].key : HistoryFileName::Key{};
}

void HistoryWindow::fillList(const HistoryFileName::Key &keep)
{
    // Loaded interfaces first (they carry descriptions), then those known only by a file.
    QList<Choice> choices;
    for (const Choice &loaded : std::as_const(m_choices)) {
        if (!loaded.description.isNull())
            choices.append(loaded);
    }
    for (const HistoryReader::Entry &entry : std::as_const(m_files)) {
        if (std::none_of(choices.cbegin(), choices.cend(),
                         [&](const Choice &c) { return c.key == entry.key; }))
            choices.append({entry.key, QString()});
    }
    m_choices = choices;
    const QSignalBlocker blocker(m_interfaces);
    m_interfaces->clear();
    int select = m_choices.isEmpty() ? -1 : 0;
    for (int i = 0; i < m_choices.size(); ++i) {
        const Choice &c = m_choices[i];
        QString text = c.key.address + QStringLiteral(", ifIndex ") + c.key.ifIndex;
        if (!c.description.isEmpty())
            text = c.description + QStringLiteral(" (") + text + QLatin1Char(')');
        else if (c.description.isNull())
            text += QStringLiteral(" (not loaded)");
        m_interfaces->addItem(text);
        if (c.key == keep)
            select = i;
    }
    m_interfaces->setCurrentIndex(select);
}

void HistoryWindow::setLoaded(const QList<InterfaceReading> &interfaces)
{
    const HistoryFileName::Key keep = currentKey();
    m_choices.clear();
    for (const InterfaceReading &reading : interfaces) {
        const HistoryFileName::Key key{reading.address, reading.ifIndex};
        if (std::none_of(m_choices.cbegin(), m_choices.cend(),
                         [&](const Choice &c) { return c.key == key; }))
            m_choices.append(
                {key, reading.description.isNull() ? QStringLiteral("") : reading.description});
    }
    fillList(keep);
    load(m_graph->viewFrom(), m_graph->viewTo());
}

void HistoryWindow::showInterface(const QString &address, const QString &ifIndex)
{
    const HistoryFileName::Key key{address, ifIndex};
    auto found = std::find_if(m_choices.cbegin(), m_choices.cend(),
                              [&](const Choice &c) { return c.key == key; });
    if (found == m_choices.cend()) {
        m_choices.prepend({key, QStringLiteral("")});
        fillList(key);
        found = std::find_if(m_choices.cbegin(), m_choices.cend(),
                             [&](const Choice &c) { return c.key == key; });
    }
    m_interfaces->setCurrentIndex(static_cast<int>(found - m_choices.cbegin()));
    load(m_graph->viewFrom(), m_graph->viewTo());
}

void HistoryWindow::setThresholds(int highPercent, int lowPercent)
{
    m_graph->setThresholds(highPercent, lowPercent);
}

QString HistoryWindow::currentPath() const
{
    const int index = m_interfaces->currentIndex();
    if (index < 0 || index >= m_choices.size())
        return QString();
    const Choice &c = m_choices[index];
    return QDir(m_folder).filePath(HistoryFileName::forInterface(c.key.address, c.key.ifIndex));
}

void HistoryWindow::setSpan(Span span)
{
    m_span = span;
    if (QAbstractButton *button = m_spans->button(span))
        button->setChecked(true);
    // The span ends at the file's newest update, which the read finds out; until it arrives
    // the view ends at the newest poll known.
    const std::int64_t now =
        m_graph->now() > 0 ? m_graph->now() : QDateTime::currentSecsSinceEpoch();
    m_graph->setView(now - secondsOf(span), now);
    m_followSpan = true;
    load(now - secondsOf(span), now);
}

void HistoryWindow::setRange(std::int64_t from, std::int64_t to)
{
    m_span = Custom;
    m_followSpan = false;
    if (QAbstractButton *checked = m_spans->checkedButton()) {
        m_spans->setExclusive(false); // no span button stands for a custom range
        checked->setChecked(false);
        m_spans->setExclusive(true);
    }
    m_customFrom = from;
    // Bounded like the graph's view: a range of decades would read millions of rows.
    m_customTo = std::clamp(to, from + HistoryGraph::MinimumSpan, from + HistoryGraph::MaximumSpan);
    m_graph->setView(m_customFrom, m_customTo);
    load(m_customFrom, m_customTo);
}

void HistoryWindow::chooseCustom()
{
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Custom range"));
    auto *from = new QDateTimeEdit(QDateTime::fromSecsSinceEpoch(m_graph->viewFrom()), &dialog);
    auto *to = new QDateTimeEdit(QDateTime::fromSecsSinceEpoch(m_graph->viewTo()), &dialog);
    for (QDateTimeEdit *edit : {from, to}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto *form = new QFormLayout(&dialog);
    form->addRow(QStringLiteral("From:"), from);
    form->addRow(QStringLiteral("To:"), to);
    form->addRow(box);
    connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() == QDialog::Accepted) {
        setRange(from->dateTime().toSecsSinceEpoch(), to->dateTime().toSecsSinceEpoch());
    }
}

void HistoryWindow::refresh()
{
    m_listWanted = true;
    load(m_graph->viewFrom(), m_graph->viewTo());
}

void HistoryWindow::load(std::int64_t from, std::int64_t to)
{
    HistoryQuery query;
    query.from = from;
    query.to = to;
    ask(query);
}

void HistoryWindow::ask(HistoryQuery query)
{
    query.path = currentPath();
    if (m_followSpan && m_span != Custom)
        query.span = secondsOf(m_span);
    if (m_asked == 0)
        send(query);
    else
        m_next = query; // one read at a time: only the newest request waits
}

void HistoryWindow::send(HistoryQuery query)
{
    if (!m_loader)
        return; // the store is gone: the program is closing
    query.listFiles = std::exchange(m_listWanted, false);
    m_asked = m_loader->ask(query);
    m_silent->start();
    if (!m_shownOnce || query.path != m_shownPath) {
        m_slow->stop();
        m_message->setText(ReadingText.toString());
    } else {
        m_slow->start();
    }
}

void HistoryWindow::answered(const HistoryAnswer &answer)
{
    if (answer.id != m_asked)
        return; // a loader shared with another window
    m_asked = 0;
    m_slow->stop();
    m_silent->stop();
    if (answer.query.listFiles) {
        m_files = answer.files;
        fillList(currentKey());
    }
    const QString path = currentPath();
    if (answer.query.path == path) {
        if (answer.query.span > 0 && m_followSpan) {
            m_graph->setNow(answer.newest > 0 ? answer.newest : answer.to);
            m_graph->setView(answer.from, answer.to);
        } else if (m_graph->now() <= 0 && answer.newest > 0) {
            m_graph->setNow(answer.newest);
        }
        m_message->setText(path.isEmpty() ? QStringLiteral("No interface with history yet.")
                           : !answer.error.isEmpty() ? answer.error
                           : answer.series.isEmpty()
                               ? QStringLiteral("No history for this interface yet.")
                               : QString());
        m_graph->setSeries(answer.series);
        updateStatistics();
        m_shownPath = path;
        m_shownOnce = true;
    } else if (!m_next) {
        // The list brought another interface into view: read it.
        load(m_graph->viewFrom(), m_graph->viewTo());
        return;
    }
    if (m_next) {
        const HistoryQuery next = *m_next;
        m_next.reset();
        ask(next);
        return;
    }
    Q_EMIT shown();
}

QString HistoryWindow::statisticsText() const
{
    const HistoryStatistics s =
        HistoryStatisticsCalc::compute(m_graph->series(), m_graph->viewFrom(), m_graph->viewTo());
    const auto row = [](const QString &name, const DirectionStatistics &d) -> QString {
        return name + QStringLiteral("  average ") +
               BitRateText::format(d.average).leftJustified(14) + QStringLiteral(" maximum ") +
               BitRateText::format(d.maximum).leftJustified(14) +
               QStringLiteral(" 95th percentile ") + BitRateText::format(d.percentile95);
    };
    return row(QStringLiteral("In "), s.in) + QLatin1Char('\n') + row(QStringLiteral("Out"), s.out);
}

void HistoryWindow::updateStatistics()
{
    m_statistics->setText(statisticsText());
}

QByteArray HistoryWindow::csvBytes() const
{
    return HistoryCsv::bytes(m_graph->series(), m_graph->viewFrom(), m_graph->viewTo());
}

bool HistoryWindow::savePng(const QString &path) const
{
    HistoryPicture picture(subject(), *m_graph);
    return picture.image().save(path, "PNG");
}

// --- The picture's title and the proposed export names ---------------------------------------

HistoryPicture::Subject HistoryWindow::subject() const
{
    const int index = m_interfaces->currentIndex();
    if (index < 0 || index >= m_choices.size())
        return {};
    const Choice &c = m_choices[index];
    return {c.description, c.key.address, c.key.ifIndex};
}

QString HistoryWindow::proposedName(const QString &extension) const
{
    const HistoryPicture::Subject s = subject();
    return HistoryExportName::propose(s.description, s.address, s.ifIndex, m_graph->viewFrom(),
                                      m_graph->viewTo(), extension);
}

bool HistoryWindow::saveCsv(const QString &path, QString *error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(csvBytes()) < 0 || !file.commit()) {
        *error = QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

void HistoryWindow::onPollWritten(const PollResult &result)
{
    const std::int64_t now = result.time.toSecsSinceEpoch();
    const std::int64_t from = m_graph->viewFrom(), to = m_graph->viewTo();
    // The newest poll known before this one: the view follows while it shows that time.
    const std::int64_t previous = m_graph->now() > 0            ? m_graph->now()
                                  : m_graph->series().isEmpty() ? to
                                                                : m_graph->series().end();
    m_graph->setNow(now);
    m_followSpan = false;
    const std::int64_t slack = std::max<std::int64_t>(2 * result.pollIntervalSeconds, 1);
    if (now > previous && previous >= from && previous <= to + slack) {
        // "now" is in view: the view moves along by the time that passed, wherever in it
        // "now" stands (a zoom about the pointer may have left it short of the right edge).
        const std::int64_t shift = now - previous;
        m_graph->setView(from + shift, to + shift);
        load(from + shift, to + shift);
    } else if (to >= now - slack) {
        load(from, to);
    }
}
