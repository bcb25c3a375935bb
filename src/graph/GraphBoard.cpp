#include "GraphBoard.h"

#include "AutoScale.h"
#include "Histograph.h"
#include "SlotKeyboard.h"
#include "TransLabel.h"

#include <QAction>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>

#include <algorithm>

const QColor GraphBoard::NoInterfaceColor(128, 128, 128);
const QColor GraphBoard::RunningColor(0, 0, 0);
const QColor GraphBoard::FailedColor(255, 0, 0);
const QColor GraphBoard::LinkDownColor(112, 56, 0);
const QColor GraphBoard::DisabledColor(40, 40, 88);

namespace
{

// The caption strips: grey tint at 60 over the graph, white bold text 11 pixels high.
void styleCaption(TTransLabel *label)
{
    label->setColor(QColor(128, 128, 128));
    label->setTransparency(60);
    label->setMist(true);
    label->setWordWrap(false);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    font.setBold(true);
    label->setFont(font);
    label->setFontColor(Qt::white);
    label->hide();
}

} // namespace

GraphBoard::GraphBoard(QWidget *mainArea, QWidget *panel2, QWidget *panel3, QObject *parent)
    : QObject(parent)
{
    for (int k = 1; k <= SlotCount; ++k) {
        GraphSlot &s = slot(k);
        s.number = k;
        if (k <= 10) {
            const int row = (k + 1) / 2;
            const bool left = (k % 2 == 1);
            createSlot(s, mainArea, left ? 8 : 300, 4 + 96 * (row - 1), left ? 259 : 552);
        } else if (k <= 15) {
            createSlot(s, panel2, 7, 4 + 96 * (k - 11), 259);
        } else {
            createSlot(s, panel3, 7, 4 + 96 * (k - 16), 259);
        }
    }
}

void GraphBoard::createSlot(GraphSlot &s, QWidget *parent, int x, int y, int percentX)
{
    const QString n = QString::number(s.number);
    s.Graph = new THistograph(parent);
    s.Graph->setObjectName(QStringLiteral("Histograph") + n);
    s.Graph->setGeometry(x, y, GraphWidth, GraphHeight);
    s.Graph->setGraphNormalColor(QColor(255, 255, 0));
    s.Graph->setGraphLowColor(QColor(0, 255, 0));
    // The board's own layout values, as drawn before start-up applies the stored thresholds
    // (whose defaults are the settings'); the graph control's own defaults differ again.
    s.Graph->setHighValue(70);
    s.Graph->setLowValue(30);
    s.Graph->setValue(0);
    s.Graph->setActive(false);
    s.Graph->setInterval(6);

    const auto makeCaption = [&](int dy) {
        auto *label = new TTransLabel(parent);
        label->setGeometry(x, y + dy, GraphWidth, 13);
        styleCaption(label);
        return label;
    };
    s.LastValuesCaption = makeCaption(2);
    s.NameCaption = makeCaption(34);
    s.ErrorCaption = makeCaption(58);
    // In the free band between the last-values and the name strip.
    s.HealthCaption = makeCaption(18);

    s.SlotMenu = new QMenu(parent);
    s.SlotMenu->setObjectName(QStringLiteral("PopupMenu") + n);
    s.MaxValue10 = s.SlotMenu->addAction(QStringLiteral("Max value 10%"));
    s.MaxValue50 = s.SlotMenu->addAction(QStringLiteral("Max value 50%"));
    s.MaxValue100 = s.SlotMenu->addAction(QStringLiteral("Max value 100%"));
    s.MaxValueAuto = s.SlotMenu->addAction(QStringLiteral("Max value auto"));
    const int number = s.number;
    QObject::connect(s.MaxValueAuto, &QAction::triggered, this,
                     [this, number] { setSlotAutoMaximum(number); });
    QObject::connect(s.Graph, &THistograph::sampleAdded, this, [this, number] {
        if (slotAutoMaximum(number))
            followHighest(number);
    });
    s.EditDevice = s.SlotMenu->addAction(QStringLiteral("Edit device"));
    s.PollAgain = s.SlotMenu->addAction(QStringLiteral("Poll again"));
    s.PollAgain->setVisible(false);

    // A fully see-through label over the graph takes the mouse and opens the slot's menu.
    s.Overlay = new TTransLabel(parent);
    s.Overlay->setGeometry(x, y, GraphWidth, GraphHeight);
    s.Overlay->setTransparency(100);
    s.Overlay->setContextMenuPolicy(Qt::CustomContextMenu);
    QMenu *menu = s.SlotMenu;
    TTransLabel *overlay = s.Overlay;
    QObject::connect(overlay, &QWidget::customContextMenuRequested, menu,
                     [menu, overlay](const QPoint &at) { menu->popup(overlay->mapToGlobal(at)); });
    s.Overlay->raise();
    SlotKeyboard::attach(s.Overlay, s.SlotMenu, s.number, s.Graph);

    s.PercentLabel = new QLabel(QStringLiteral("100%"), parent);
    s.PercentLabel->move(percentX, y);
    s.PercentLabel->adjustSize();
}

void GraphBoard::setSlotRunning(int k, bool running)
{
    GraphSlot &s = slot(k);
    s.Graph->setActive(running);
    if (!running) {
        s.Graph->setBackgroundColor(FailedColor);
        s.PollAgain->setVisible(true);
        return;
    }
    s.PollAgain->setVisible(false);
    switch (m_link.at(std::size_t(k - 1))) {
    case LinkBackground::Normal:
        s.Graph->setBackgroundColor(RunningColor);
        break;
    case LinkBackground::Down:
        s.Graph->setBackgroundColor(LinkDownColor);
        break;
    case LinkBackground::Disabled:
        s.Graph->setBackgroundColor(DisabledColor);
        break;
    }
}

void GraphBoard::setLinkHealth(int k, LinkBackground background, const QString &caption,
                               const QString &toolTip)
{
    GraphSlot &s = slot(k);
    m_link.at(std::size_t(k - 1)) = background;
    if (s.Graph->Active())
        setSlotRunning(k, true);
    s.HealthCaption->setCaption(caption);
    s.HealthCaption->setVisible(!caption.isEmpty());
    s.Overlay->setToolTip(toolTip);
    s.Overlay->raise();
}

void GraphBoard::clearLinkHealth()
{
    for (GraphSlot &s : m_slots) {
        m_link.at(std::size_t(s.number - 1)) = LinkBackground::Normal;
        const QColor shown = s.Graph->BackgroundColor();
        if (shown == LinkDownColor || shown == DisabledColor)
            s.Graph->setBackgroundColor(RunningColor);
        s.HealthCaption->setCaption(QString());
        s.HealthCaption->hide();
        s.Overlay->setToolTip(QString());
    }
}

QString GraphBoard::errorCaption(int k) const
{
    return slot(k).ErrorCaption->Caption();
}

void GraphBoard::setErrorCaption(int k, const QString &text)
{
    slot(k).ErrorCaption->setCaption(text);
}

void GraphBoard::activegraphs(int loadedInterfaces)
{
    clearLinkHealth();
    for (GraphSlot &s : m_slots) {
        s.Graph->setBackgroundColor(s.number <= loadedInterfaces ? RunningColor : NoInterfaceColor);
        s.PollAgain->setVisible(false);
    }
}

void GraphBoard::clearAll()
{
    for (GraphSlot &s : m_slots)
        s.Graph->Clear();
}

void GraphBoard::setActiveAll(bool active)
{
    for (GraphSlot &s : m_slots)
        s.Graph->setActive(active);
}

void GraphBoard::setBackgroundAll(const QColor &color)
{
    for (GraphSlot &s : m_slots)
        s.Graph->setBackgroundColor(color);
}

void GraphBoard::setIntervalAll(int seconds)
{
    for (GraphSlot &s : m_slots)
        s.Graph->setInterval(seconds);
}

void GraphBoard::setVertLinesIntervalAll(int seconds)
{
    for (GraphSlot &s : m_slots)
        s.Graph->setVertLinesInterval(seconds);
}

void GraphBoard::setHighValueAll(int value)
{
    for (GraphSlot &s : m_slots)
        s.Graph->setHighValue(value);
}

void GraphBoard::setLowValueAll(int value)
{
    for (GraphSlot &s : m_slots)
        s.Graph->setLowValue(value);
}

void GraphBoard::setGraphHighColorAll(const QColor &color)
{
    for (GraphSlot &s : m_slots)
        s.Graph->setGraphHighColor(color);
}

void GraphBoard::setGraphNormalColorAll(const QColor &color)
{
    for (GraphSlot &s : m_slots)
        s.Graph->setGraphNormalColor(color);
}

void GraphBoard::setGraphLowColorAll(const QColor &color)
{
    for (GraphSlot &s : m_slots)
        s.Graph->setGraphLowColor(color);
}

void GraphBoard::setSecondSeriesAll(bool on)
{
    for (GraphSlot &s : m_slots)
        s.Graph->setSecondSeries(on);
}

void GraphBoard::setSecondColorAll(const QColor &color)
{
    for (GraphSlot &s : m_slots)
        s.Graph->setSecondColor(color);
}

void GraphBoard::setLastValuesWide(bool wide)
{
    // The widest caption in bit/s decides: the font narrows (condensed faces where the font
    // has them) until it fits the strip, and drops bold only when narrowing is not enough.
    static const QString widest =
        QStringLiteral("IN 9.99 Gbit/s (100 %) \u00B7 OUT 9.99 Gbit/s (100 %)");
    QFont font = m_slots.front().LastValuesCaption->font();
    font.setBold(true);
    font.setStretch(QFont::Unstretched);
    if (wide) {
        const int room = GraphWidth - 2;
        for (int stretch = QFont::Unstretched;
             stretch > QFont::ExtraCondensed && QFontMetrics(font).horizontalAdvance(widest) > room;
             stretch -= 5)
            font.setStretch(stretch - 5);
        if (QFontMetrics(font).horizontalAdvance(widest) > room)
            font.setBold(false);
    }
    for (GraphSlot &s : m_slots)
        s.LastValuesCaption->setFont(font);
}

void GraphBoard::repaintAll()
{
    for (GraphSlot &s : m_slots)
        s.Graph->update();
}

void GraphBoard::setSlotMaximum(int k, int maximum)
{
    m_auto.at(std::size_t(k - 1)) = false;
    applyMaximum(slot(k), maximum);
}

void GraphBoard::setSlotAutoMaximum(int k)
{
    m_auto.at(std::size_t(k - 1)) = true;
    followHighest(k);
}

void GraphBoard::followHighest(int k)
{
    GraphSlot &s = slot(k);
    // Two pixels per sample: the samples that the graph's width shows.
    const int visible = std::clamp((s.Graph->width() + 1) / 2, 1, THistograph::HistorySize);
    const bool second = s.Graph->SecondSeries();
    int highest = 0;
    for (int position = 1; position <= visible; ++position) {
        highest = std::max(highest, s.Graph->History(position));
        if (second)
            highest = std::max(highest, s.Graph->SecondHistory(position));
    }
    const int maximum = AutoScale::fullScale(highest);
    if (maximum != s.Graph->MaxValue())
        applyMaximum(s, maximum);
}

void GraphBoard::applyMaximum(GraphSlot &s, int maximum)
{
    s.Graph->setMaxValue(maximum);
    s.Graph->setHorizLinesInterval(horizLinesFor(maximum));
    s.PercentLabel->setText(QString::number(maximum) + QLatin1Char('%'));
    s.PercentLabel->adjustSize();
}

TTransLabel *GraphBoard::caption(int k, Caption which) const
{
    const GraphSlot &s = slot(k);
    switch (which) {
    case Caption::LastValues:
        return s.LastValuesCaption;
    case Caption::Name:
        return s.NameCaption;
    case Caption::Error:
        return s.ErrorCaption;
    case Caption::Health:
        return s.HealthCaption;
    }
    return nullptr;
}

void GraphBoard::setCaptionsVisible(Caption which, bool visible)
{
    for (GraphSlot &s : m_slots) {
        caption(s.number, which)->setVisible(visible);
        s.Overlay->raise();
    }
}
