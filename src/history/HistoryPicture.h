#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

class HistoryGraph;
class QLabel;

// The picture "Save as PNG" writes: a title (description, address, ifIndex), the time range
// with its dates, the graph as the window shows it (same series, view, thresholds and scale)
// and a legend per direction with the last, average, maximum and 95th percentile of the
// range, followed by the bandwidth. It is a widget of labels around a copy of the graph, so
// its texts can be read back as they are drawn; image() renders it without showing it.
class HistoryPicture : public QWidget
{
    Q_OBJECT

public:
    struct Subject {
        QString description; // may be empty
        QString address;
        QString ifIndex;
    };

    static constexpr int PictureWidth = 1000;
    static constexpr int GraphHeight = 460;

    HistoryPicture(const Subject &subject, const HistoryGraph &source, QWidget *parent = nullptr);

    QString titleText() const;
    QString rangeText() const;
    // One line per direction ("In  last ...  average ...  maximum ...  95th ...") and the
    // bandwidth line, as shown.
    QStringList legendTexts() const;
    // The colour square in front of a direction's legend line (0 in, 1 out), in picture
    // coordinates.
    QRect swatchRect(int direction) const;

    // The whole picture, rendered offscreen.
    QImage image();

private:
    QLabel *m_title = nullptr;
    QLabel *m_range = nullptr;
    QList<QLabel *> m_swatches;
    QList<QLabel *> m_legend;
};
