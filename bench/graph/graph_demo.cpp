// A window of four graph slots fed random values, each with three tinted caption strips and a
// fully transparent overlay, laid out as the graph board does.
//
//   graph_demo                     run until closed
//   graph_demo --screenshot FILE   fill the graphs, save the window as a PNG and exit

#include "Histograph.h"
#include "TransLabel.h"

#include <QApplication>
#include <QPixmap>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{

struct DemoSlot {
    THistograph *graph = nullptr;
    TTransLabel *values = nullptr;
    int level = 0;
};

TTransLabel *captionStrip(QWidget *parent, const QRect &graphRect, int top, const QString &text)
{
    auto *strip = new TTransLabel(parent);
    strip->setGeometry(graphRect.x(), graphRect.y() + top, graphRect.width(), 13);
    strip->setColor(QColor(128, 128, 128));
    QFont font = strip->font();
    font.setPixelSize(11);
    font.setBold(true);
    strip->setFont(font);
    strip->setFontColor(Qt::white);
    strip->setCaption(text);
    return strip;
}

// A random walk between 0 and 100 drifting back to 40, with occasional bursts.
int nextLevel(int level)
{
    auto *random = QRandomGenerator::global();
    level += random->bounded(-9, 10) + (40 - level) / 8;
    if (random->bounded(25) == 0)
        level += 45;
    return std::clamp(level, 0, 100);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype shotAt = args.indexOf(QStringLiteral("--screenshot"));
    const QString screenshot =
        shotAt > 0 && shotAt + 1 < args.size() ? args.at(shotAt + 1) : QString();

    QWidget window;
    window.setWindowTitle(QStringLiteral("Graph demo"));
    window.resize(2 * 250 + 3 * 10, 2 * 80 + 3 * 10);
    const QStringList names = {QStringLiteral("core-sw1 uplink &1"), QStringLiteral("edge-rt wan0"),
                               QStringLiteral("dmz fw outside"), QStringLiteral("lab host eth0")};
    std::vector<DemoSlot> slots;
    for (int i = 0; i < 4; ++i) {
        const QRect rect(10 + (i % 2) * 260, 10 + (i / 2) * 90, 250, 80);
        DemoSlot slot;
        slot.graph = new THistograph(&window);
        slot.graph->setGeometry(rect);
        slot.graph->setGraphNormalColor(Qt::yellow);
        slot.graph->setGraphLowColor(Qt::green);
        slot.graph->setHighValue(70);
        slot.graph->setLowValue(30);
        slot.graph->setInterval(1);
        slot.graph->setVertLinesInterval(10);
        slot.graph->setTransparent(i % 2 == 0);
        slot.values = captionStrip(&window, rect, 2, QString());
        captionStrip(&window, rect, 34, names.at(i));
        if (i == 3)
            captionStrip(&window, rect, 58, QStringLiteral("Error occured: 12:00:00"));
        auto *overlay = new TTransLabel(&window);
        overlay->setGeometry(rect);
        overlay->setTransparency(100);
        slot.level = QRandomGenerator::global()->bounded(100);
        slots.push_back(slot);
    }

    auto feed = [&slots] {
        for (DemoSlot &slot : slots) {
            slot.level = nextLevel(slot.level);
            slot.graph->setValue(slot.level);
            slot.values->setCaption(QStringLiteral("Last values IN: %1; OUT: %2; COMB: %3")
                                        .arg(slot.level / 2)
                                        .arg(slot.level - slot.level / 2)
                                        .arg(slot.level));
        }
    };

    if (screenshot.isEmpty()) {
        QTimer feeder;
        QObject::connect(&feeder, &QTimer::timeout, feed);
        feeder.start(500);
        window.show();
        return app.exec();
    }

    for (DemoSlot &slot : slots)
        slot.graph->setActive(false);
    window.show();
    for (int tick = 0; tick < 140; ++tick) {
        feed();
        for (DemoSlot &slot : slots)
            slot.graph->TimerTick();
    }
    // Let the window system show the window and the paints settle, then take the pixels the
    // screen shows (falling back to the widgets' own rendering).
    QTimer::singleShot(800, &app, [&] {
        QPixmap shot = window.screen()->grabWindow(window.winId());
        if (shot.isNull() || shot.size() != window.size())
            shot = window.grab();
        const bool saved = shot.save(screenshot, "PNG");
        std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "saved" : "could not save",
                     qPrintable(screenshot));
        app.exit(saved ? 0 : 1);
    });
    return app.exec();
}
