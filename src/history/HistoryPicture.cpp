#include "HistoryPicture.h"

#include "BitRateText.h"
#include "HistoryGraph.h"
#include "HistoryStatistics.h"

#include <QDateTime>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

#include <cstdlib>

namespace
{

// The last known sample of `values` that ends in (from, to].
double lastIn(const HistorySeries &series, const QList<double> &values, std::int64_t from,
              std::int64_t to)
{
    for (qsizetype i = std::min(series.size(), values.size()) - 1; i >= 0; --i) {
        const std::int64_t t = series.timeOf(i);
        if (t <= from)
            break;
        if (t <= to && HistorySeries::known(values[i]))
            return values[i];
    }
    return HistorySeries::Unknown;
}

QString rangeOf(std::int64_t from, std::int64_t to)
{
    const QDateTime first = QDateTime::fromSecsSinceEpoch(from);
    const QDateTime last = QDateTime::fromSecsSinceEpoch(to);
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm");
    const int offset = first.offsetFromUtc();
    const QString zone = offset == 0
                             ? QStringLiteral("UTC")
                             : QStringLiteral("UTC%1%2:%3")
                                   .arg(offset < 0 ? u'-' : u'+')
                                   .arg(std::abs(offset) / 3600, 2, 10, QLatin1Char('0'))
                                   .arg(std::abs(offset) % 3600 / 60, 2, 10, QLatin1Char('0'));
    return first.toString(format) + QStringLiteral(" to ") + last.toString(format) +
           QStringLiteral(" (") + zone + QLatin1Char(')');
}

} // namespace

HistoryPicture::HistoryPicture(const Subject &subject, const HistoryGraph &source, QWidget *parent)
    : QWidget(parent)
{
    // White like the graph's plot, whatever the desktop's window colour.
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::Base));
    colours.setColor(QPalette::WindowText, colours.color(QPalette::Text));
    setPalette(colours);
    setAutoFillBackground(true);

    QString title = subject.address + QStringLiteral(", ifIndex ") + subject.ifIndex;
    if (!subject.description.isEmpty())
        title = subject.description + QStringLiteral(" (") + title + QLatin1Char(')');
    m_title = new QLabel(title, this);
    m_title->setTextFormat(Qt::PlainText);
    QFont bold = m_title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    m_title->setFont(bold);
    const std::int64_t from = source.viewFrom(), to = source.viewTo();
    m_range = new QLabel(rangeOf(from, to), this);
    m_range->setTextFormat(Qt::PlainText);

    auto *graph = new HistoryGraph(this);
    graph->setSeries(source.series());
    graph->setView(from, to);
    graph->setThresholds(source.highPercent(), source.lowPercent());
    graph->setScaleToBandwidth(source.scaleToBandwidth());
    graph->setFixedHeight(GraphHeight);

    const HistorySeries &series = source.series();
    const HistoryStatistics statistics = HistoryStatisticsCalc::compute(series, from, to);
    auto *legend = new QGridLayout;
    legend->setHorizontalSpacing(10);
    const struct {
        QString name;
        QColor colour;
        const DirectionStatistics &values;
        const QList<double> &samples;
    } directions[] = {
        {QStringLiteral("In"), HistoryGraph::InColour, statistics.in, series.inAverage},
        {QStringLiteral("Out"), HistoryGraph::OutColour, statistics.out, series.outAverage}};
    // Fixed width, so that the readings of both directions line up.
    QFont fixed = font();
    fixed.setFamily(QStringLiteral("monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    int row = 0;
    for (const auto &d : directions) {
        QPixmap square(14, 14);
        square.fill(d.colour);
        auto *swatch = new QLabel(this);
        swatch->setPixmap(square);
        m_swatches.append(swatch);
        const auto field = [](double v) { return BitRateText::format(v).leftJustified(13); };
        const QString text = d.name.leftJustified(4) + QStringLiteral("last ") +
                             field(lastIn(series, d.samples, from, to)) +
                             QStringLiteral(" average ") + field(d.values.average) +
                             QStringLiteral(" maximum ") + field(d.values.maximum) +
                             QStringLiteral(" 95th ") + BitRateText::format(d.values.percentile95);
        auto *line = new QLabel(text, this);
        line->setTextFormat(Qt::PlainText);
        line->setFont(fixed);
        m_legend.append(line);
        legend->addWidget(swatch, row, 0);
        legend->addWidget(line, row, 1);
        ++row;
    }
    auto *bandwidth =
        new QLabel(QStringLiteral("Bandwidth ") +
                       BitRateText::format(lastIn(series, series.bandwidth, from, to)),
                   this);
    bandwidth->setTextFormat(Qt::PlainText);
    bandwidth->setFont(fixed);
    m_legend.append(bandwidth);
    legend->addWidget(bandwidth, row, 1);
    legend->setColumnStretch(1, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(m_range);
    layout->addWidget(graph);
    layout->addLayout(legend);
    setFixedWidth(PictureWidth);
}

QString HistoryPicture::titleText() const
{
    return m_title->text();
}

QString HistoryPicture::rangeText() const
{
    return m_range->text();
}

QStringList HistoryPicture::legendTexts() const
{
    QStringList texts;
    for (const QLabel *line : m_legend)
        texts.append(line->text());
    return texts;
}

QRect HistoryPicture::swatchRect(int direction) const
{
    const QLabel *swatch = m_swatches.value(direction);
    if (!swatch)
        return QRect();
    const QRect label(swatch->mapTo(this, QPoint(0, 0)), swatch->size());
    // The pixmap is centred vertically and at the left of its label.
    const QSize square = swatch->pixmap().size();
    return QRect(label.left(), label.top() + (label.height() - square.height()) / 2, square.width(),
                 square.height());
}

QImage HistoryPicture::image()
{
    // Laid out and rendered offscreen: nothing appears on the desktop.
    setAttribute(Qt::WA_DontShowOnScreen);
    adjustSize();
    show();
    QImage image = grab().toImage();
    hide();
    return image;
}
