// The board's steady painting: a shown window with the 20 graph slots (graph, caption strips,
// overlay), each poll cycle one tick of every graph and then, painted apart as in the window,
// a new last-values caption on every slot. Prints the CPU time of this process per cycle
// (getrusage, user + system) and what that is at a 3 s interval. --screenshot FILE saves the window
// after the run. Usage: bench_board [CYCLES] [--screenshot FILE] (200 cycles by default).
#include "GraphBoard.h"
#include "Histograph.h"
#include "TransLabel.h"

#include <QApplication>
#include <QImage>
#include <QScreen>
#include <QWidget>

#include <sys/resource.h>

#include <cstdio>

namespace
{

double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return double(t.tv_sec) * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Lets the window paint what the cycle changed (a label may ask for one more paint).
void settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int cycles = 200;
    QString screenshot;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--screenshot") && i + 1 < argc)
            screenshot = QString::fromLocal8Bit(argv[++i]);
        else
            cycles = qMax(1, arg.toInt());
    }

    QWidget window;
    window.resize(1160, 490);
    auto *mainArea = new QWidget(&window);
    mainArea->setGeometry(0, 0, 560, 490);
    auto *panel2 = new QWidget(&window);
    panel2->setGeometry(580, 0, 290, 490);
    auto *panel3 = new QWidget(&window);
    panel3->setGeometry(870, 0, 290, 490);
    GraphBoard board(mainArea, panel2, panel3);
    board.activegraphs(GraphBoard::SlotCount);
    board.setActiveAll(false); // ticks come from the cycles below, not from timers
    for (int k = 1; k <= GraphBoard::SlotCount; ++k) {
        GraphSlot &slot = board.slot(k);
        slot.NameCaption->setCaption(QStringLiteral("10.0.0.%1 / if%1").arg(k));
        slot.LastValuesCaption->setCaption(QStringLiteral("Last values IN: 0; OUT: 0"));
        slot.NameCaption->show();
        slot.LastValuesCaption->show();
        slot.ErrorCaption->show();
    }
    window.show();
    settle();

    const auto cycle = [&board](int n) {
        for (int k = 1; k <= GraphBoard::SlotCount; ++k) {
            GraphSlot &slot = board.slot(k);
            const int value = (n * 7 + k * 13) % 101;
            slot.Graph->setValue(value);
            slot.Graph->TimerTick();
        }
        settle();
        // The captions change after the poll, apart from the graphs' own tick timers.
        for (int k = 1; k <= GraphBoard::SlotCount; ++k) {
            const int value = (n * 7 + k * 13) % 101;
            board.slot(k).LastValuesCaption->setCaption(
                QStringLiteral("Last values IN: %1; OUT: %2").arg(value).arg(100 - value));
        }
        settle();
    };
    for (int n = 0; n < 10; ++n) // warm up
        cycle(n);
    const double start = cpuMs();
    for (int n = 0; n < cycles; ++n)
        cycle(n);
    const double perCycle = (cpuMs() - start) / cycles;
    std::printf("board, 20 graphs with captions: %d cycles (a tick and a caption each)\n", cycles);
    std::printf("  CPU per cycle: %.3f ms; at a 3 s interval: %.4f %% of one core\n", perCycle,
                perCycle / 3000.0 * 100.0);
    if (!screenshot.isEmpty())
        window.screen()->grabWindow(window.winId()).save(screenshot);
    return 0;
}
