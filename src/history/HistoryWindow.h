#pragma once

#include "HistoryFileName.h"
#include "HistoryLoader.h"
#include "HistoryPicture.h"
#include "HistorySeries.h"
#include "PollResult.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <optional>

class HistoryGraph;
class QButtonGroup;
class QComboBox;
class QLabel;
class QTimer;

// The history window: one interface at a time, picked from the interfaces loaded now and
// those with a history file; the graph with its spans, the readings of the shown span
// (average, maximum, 95th percentile per direction), the hover read-out, "Save as PNG" and
// "Export CSV". It follows the newest poll while "now" is in view.
//
// The files are read by a HistoryLoader away from the GUI thread: the window asks and draws
// what arrives, showing "reading..." meanwhile and "the history disk does not answer" once a
// read has taken 2 s. At most one read is under way; while it is, only the newest request
// waits behind it, so a hung disk never piles up reads.
class HistoryWindow : public QWidget
{
    Q_OBJECT

public:
    enum Span { Hour, SixHours, Day, Week, Month, Year, Custom };
    static std::int64_t secondsOf(Span span);
    static constexpr QStringView ReadingText = u"reading...";
    static constexpr QStringView SilentText = u"the history disk does not answer";
    static constexpr int SilentAfterMs = 2000;

    // Reads through a loader of its own (a window without a history store).
    explicit HistoryWindow(QString folder, QWidget *parent = nullptr);
    // Reads through the given loader (the history store's), which must outlive the window.
    explicit HistoryWindow(HistoryLoader &loader, QWidget *parent = nullptr);

    // The interfaces loaded now, with their descriptions (from the latest poll).
    void setLoaded(const QList<InterfaceReading> &interfaces);
    // Shows the interface (adding it to the list when it has no file yet).
    void showInterface(const QString &address, const QString &ifIndex);
    void setThresholds(int highPercent, int lowPercent);
    void setSpan(Span span);
    // A custom range, seconds since the epoch.
    void setRange(std::int64_t from, std::int64_t to);

    // Reads the files again (list and the shown interface).
    void refresh();
    // Whether a read asked for has not been shown yet.
    bool isReading() const { return m_asked != 0 || m_next.has_value(); }

    HistoryGraph *graph() const { return m_graph; }
    QString statisticsText() const;
    QByteArray csvBytes() const;
    bool savePng(const QString &path) const;
    bool saveCsv(const QString &path, QString *error) const;
    // The shown interface, as the picture's title names it.
    HistoryPicture::Subject subject() const;
    // The file name "Save as PNG" and "Export CSV" propose (see HistoryExportName).
    QString proposedName(const QString &extension) const;

public Q_SLOTS:
    // A poll was written: moves the view along when "now" is in view.
    void onPollWritten(const PollResult &result);

Q_SIGNALS:
    // Every read asked for so far is shown.
    void shown();

private:
    struct Choice {
        HistoryFileName::Key key;
        QString description;
    };
    void fillList(const HistoryFileName::Key &keep);
    HistoryFileName::Key currentKey() const;
    void load(std::int64_t from, std::int64_t to);
    void ask(HistoryQuery query);
    void send(HistoryQuery query);
    void answered(const HistoryAnswer &answer);
    void chooseCustom();
    void updateStatistics();
    QString currentPath() const;

    QString m_folder;
    QPointer<HistoryLoader> m_loader;
    QList<HistoryReader::Entry> m_files; // as last listed by the loader
    quint64 m_asked = 0;                 // the read under way, 0 for none
    std::optional<HistoryQuery> m_next;  // the newest request behind it
    bool m_followSpan = false;           // reads end at the file's newest update
    bool m_listWanted = false;           // the next read lists the files too
    QString m_shownPath;                 // the file whose series the graph shows
    bool m_shownOnce = false;            // m_shownPath holds a shown read
    QTimer *m_slow = nullptr;            // "reading..." when a read takes a moment
    QTimer *m_silent = nullptr;          // the disk does not answer
    QList<Choice> m_choices;
    Span m_span = Hour;
    std::int64_t m_customFrom = 0, m_customTo = 0;
    HistoryGraph *m_graph = nullptr;
    QComboBox *m_interfaces = nullptr;
    QButtonGroup *m_spans = nullptr;
    QLabel *m_statistics = nullptr;
    QLabel *m_readOut = nullptr;
    QLabel *m_message = nullptr;
};
