#pragma once

#include "DailyLogFile.h"
#include "DeviceFile.h"
#include "ErrorReport.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"
#include "PollRun.h"

#include <QDateTime>
#include <QList>
#include <QSignalSpy>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// One poll run without any window, over the table and list a device file's lines were stored
// in, with its logs in a private folder at a fixed date and the errors it reports recorded.
struct PollRunFixture {
    InterfaceTable table;
    InterfaceList list;
    LogEnvironment logs;
    QTemporaryDir folder;
    std::unique_ptr<PollRun> run;
    QStringList events;                    // the order the signals came in
    QStringList errors;                    // what reached the error report
    QList<PollRun::SlotValue> graphValues; // of the last poll

    explicit PollRunFixture(const QStringList &lines, const QList<LineEncoding> &encodings = {})
    {
        ErrorReport::setHandler([this](const QString &message) { errors << message; });
        // As at start-up: every computed cell "0", so the first poll is a first reading.
        for (int row = 1; row <= InterfaceTable::InterfaceRows; ++row)
            table.resetComputedColumns(row);
        DeviceFile::store(lines, table, list, encodings);
        logs.programFolder = folder.path();
        logs.clock = [] { return QDateTime(QDate(2026, 3, 4), QTime(10, 0)); };
        run = std::make_unique<PollRun>(table, list, logs);
        run->setPollInterval(6);
        run->poller().setTimeoutMs(500);
        QObject::connect(run.get(), &PollRun::getFinished, [this] { events << "get"; });
        QObject::connect(run.get(), &PollRun::lastValuesShown,
                         [this](const QStringList &) { events << "captions"; });
        QObject::connect(run.get(), &PollRun::graphValuesShown,
                         [this](const QList<PollRun::SlotValue> &values) {
                             events << "graph";
                             graphValues = values;
                         });
        QObject::connect(run.get(), &PollRun::pollFinished,
                         [this](const PollResult &) { events << "finished"; });
    }
    ~PollRunFixture()
    {
        run.reset();
        ErrorReport::setHandler({});
    }
    PollRunFixture(const PollRunFixture &) = delete;
    PollRunFixture &operator=(const PollRunFixture &) = delete;

    // Starts a poll and waits for it; an empty result when it could not start or did not end.
    PollResult poll(int waitMs = 5000)
    {
        QSignalSpy done(run.get(), &PollRun::pollFinished);
        if (!run->start() || !done.wait(waitMs))
            return {};
        return done.first().first().value<PollResult>();
    }
    // The graph value the last poll gave a slot, or -1 when it gave none.
    int graphValue(int slot) const
    {
        for (const PollRun::SlotValue &v : graphValues) {
            if (v.slot == slot)
                return v.value;
        }
        return -1;
    }
};
