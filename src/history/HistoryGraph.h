#pragma once

#include "HistorySeries.h"

#include <QColor>
#include <QPoint>
#include <QWidget>

#include <cstdint>

// The history graph: input and output in bit/s over clock time, drawn with QPainter in the
// manner of the histogram control but from vectors, so it stays crisp at any scale factor.
// Unknown samples are gaps, never zero; the bandwidth is a solid line and the thresholds are
// dashed lines at their percentages of it; link-down periods are shaded.
//
// The value axis scales to the traffic in view (1-2-5 steps), so a small port on a fast link
// fills the plot; the bandwidth and threshold lines are drawn where they fall in range. With
// "scale to bandwidth" the axis reaches the bandwidth as well. The 95th percentile of each
// direction over the view is a dashed line in its colour, labelled with its value. Under the
// traffic, when the widget is tall enough, a smaller panel shows errors and discards per
// second, in and out, on the same time axis (zoom and pan move both).
//
// The view is the time range [viewFrom, viewTo] (seconds since the epoch). The mouse wheel
// zooms about the pointer, a drag pans, a double-click asks for the chosen span again
// (spanResetRequested); keys + and - zoom, Left and Right pan by a tenth, Home moves the view
// to end at "now" (see setNow). Every change of the view by the user emits viewChanged.
// Where more samples than pixels are in view, each pixel column shows the lowest and highest
// sample in it, so a one-poll spike is never lost by drawing.
class HistoryGraph : public QWidget
{
    Q_OBJECT

public:
    static constexpr std::int64_t MinimumSpan = 60;                  // seconds
    static constexpr std::int64_t MaximumSpan = 2 * 366 * 24 * 3600; // seconds

    explicit HistoryGraph(QWidget *parent = nullptr);

    void setSeries(HistorySeries series);
    const HistorySeries &series() const { return m_series; }

    void setView(std::int64_t from, std::int64_t to);
    std::int64_t viewFrom() const { return m_from; }
    std::int64_t viewTo() const { return m_to; }

    // Thresholds in percent of the bandwidth (the board's high and low values).
    void setThresholds(int highPercent, int lowPercent);
    int highPercent() const { return m_high; }
    int lowPercent() const { return m_low; }
    // The time of the newest poll, the end of the view after Home.
    void setNow(std::int64_t now) { m_now = now; }
    std::int64_t now() const { return m_now; }

    // The value axis reaches the bandwidth (and so always shows its line) when on.
    void setScaleToBandwidth(bool on);
    bool scaleToBandwidth() const { return m_scaleToBandwidth; }
    // The highest value of the value axis as last drawn, in bit/s.
    double axisTop() const;

    // The plot area of the traffic inside the axes, in widget coordinates.
    QRectF plotArea() const;
    // The errors and discards panel under it; empty when the widget is too low for one.
    QRectF errorsArea() const;
    // The time at a widget x position, and back.
    double timeAt(double x) const;
    double xOf(double time) const;

    // The hover read-out for a widget x position: "hh:mm:ss  in ...  out ..." of the sample
    // there, empty outside the data.
    QString readOut(double x) const;

    static const QColor InColour, OutColour;
    // The 95th percentile lines: darker shades of the direction's colour.
    static const QColor In95Colour, Out95Colour;
    static const QColor InErrorsColour, OutErrorsColour, InDiscardsColour, OutDiscardsColour;

Q_SIGNALS:
    void viewChanged(std::int64_t from, std::int64_t to);
    void spanResetRequested();
    void hovered(const QString &readOut);

protected:
    void paintEvent(QPaintEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void zoom(double factor, double aboutTime);
    void pan(double seconds);
    void changeView(double from, double to);
    double valueTop() const;
    void updatePercentiles();

    HistorySeries m_series;
    std::int64_t m_from = 0, m_to = 3600;
    std::int64_t m_now = 0;
    int m_high, m_low; // percent; the settings' defaults until setThresholds
    bool m_scaleToBandwidth = false;
    double m_in95 = HistorySeries::Unknown, m_out95 = HistorySeries::Unknown;
    bool m_dragging = false;
    QPoint m_dragStart;
    std::int64_t m_dragFrom = 0, m_dragTo = 0;
    double m_hoverX = -1;
};
