// Costs of the graph display, in microseconds per operation: one tick of a 250 x 80 graph,
// a tick with the composition of its frame, and a paint of the graph with three caption strips
// and a transparent overlay over it (the widget tree rendered into an image).

#include "Histograph.h"
#include "TransLabel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>

#include <cstdio>
#include <functional>

namespace
{

void measure(const char *name, int runs, const std::function<void(int)> &operation)
{
    for (int i = 0; i < runs / 10; ++i) // warm up
        operation(i);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < runs; ++i)
        operation(i);
    const double micros = double(clock.nsecsElapsed()) / 1000.0 / runs;
    std::printf("%-52s %10.2f us/op  (%d runs)\n", name, micros, runs);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QWidget board;
    board.resize(250, 80);
    auto *graph = new THistograph(&board);
    graph->setGeometry(0, 0, 250, 80);
    graph->setActive(false);
    graph->setInterval(6);
    graph->setHighValue(70);
    graph->setLowValue(30);
    for (int top : {2, 34, 58}) {
        auto *strip = new TTransLabel(&board);
        strip->setGeometry(0, top, 250, 13);
        strip->setColor(QColor(128, 128, 128));
        strip->setFontColor(Qt::white);
        strip->setCaption(QStringLiteral("Last values IN: 12; OUT: 3; COMB: 8"));
    }
    auto *overlay = new TTransLabel(&board);
    overlay->setGeometry(0, 0, 250, 80);
    overlay->setTransparency(100);
    for (int i = 0; i < 300; ++i) {
        graph->setValue(i % 101);
        graph->AddSample();
    }

    measure("tick (AddSample: shift two pixels, one bar)", 200000, [graph](int i) {
        graph->setValue(i % 101);
        graph->AddSample();
    });
    measure("tick + compose frame (AddSample, renderFrame)", 50000, [graph](int i) {
        graph->setValue(i % 101);
        graph->AddSample();
        graph->renderFrame();
    });
    measure("full bar redraw (300 bars, for comparison)", 20000,
            [graph](int i) { graph->setGraphNormalColor(i % 2 ? Qt::yellow : Qt::green); });
    QImage target(board.size(), QImage::Format_RGB32);
    measure("tick + paint graph, 3 captions, overlay (render)", 5000,
            [graph, &board, &target](int i) {
                graph->setValue(i % 101);
                graph->AddSample();
                board.render(&target);
            });
    measure("paint graph, 3 captions, overlay, no tick (render)", 5000,
            [&board, &target](int) { board.render(&target); });
    auto *strip = static_cast<TTransLabel *>(board.children().at(1));
    measure("one caption strip composed alone (renderFrame)", 5000,
            [strip](int) { strip->renderFrame(); });
    return 0;
}
