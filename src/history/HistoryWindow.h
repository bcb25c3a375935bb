#pragma once

#include "HistoryFileName.h"
#include "HistoryPicture.h"
#include "HistorySeries.h"
#include "PollResult.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <cstdint>

class HistoryGraph;
class QButtonGroup;
class QComboBox;
class QLabel;

// The history window: one interface at a time, picked from the interfaces loaded now and
// those with a history file; the graph with its spans, the readings of the shown span
// (average, maximum, 95th percentile per direction), the hover read-out, "Save as PNG" and
// "Export CSV". It reads the files itself and follows the newest poll while "now" is in view.
class HistoryWindow : public QWidget
{
    Q_OBJECT

public:
    enum Span { Hour, SixHours, Day, Week, Month, Year, Custom };
    static std::int64_t secondsOf(Span span);

    explicit HistoryWindow(QString folder, QWidget *parent = nullptr);

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

private:
    struct Choice {
        HistoryFileName::Key key;
        QString description;
    };
    void fillList(const HistoryFileName::Key &keep);
    HistoryFileName::Key currentKey() const;
    void load(std::int64_t from, std::int64_t to);
    void chooseCustom();
    void updateStatistics();
    QString currentPath() const;

    QString m_folder;
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
