#pragma once

#include <QColor>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <array>

// A scrolling histogram of one integer quantity. Every `Interval` seconds the picture moves two
// pixels to the left and a bar for the current `Value` appears at the right edge, coloured by
// where the value lies against `LowValue` and `HighValue`, over a grid of horizontal and
// vertical lines. Setting `Value` draws nothing by itself: the next tick records it.
//
// The drawing is cached in four images: the grid, the bars, a scratch image for scrolling and
// the finished frame. A tick shifts the bar image by two pixels and draws one new bar; the 300
// bars are redrawn in full only when size, scale, colours, thresholds or bar style change.
//
// The widget paints every pixel of its rectangle and has no mouse handling of its own.
class THistograph : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor BackgroundColor READ BackgroundColor WRITE setBackgroundColor)
    Q_PROPERTY(QColor GridColor READ GridColor WRITE setGridColor)
    Q_PROPERTY(QColor GraphHighColor READ GraphHighColor WRITE setGraphHighColor)
    Q_PROPERTY(QColor GraphNormalColor READ GraphNormalColor WRITE setGraphNormalColor)
    Q_PROPERTY(QColor GraphLowColor READ GraphLowColor WRITE setGraphLowColor)
    Q_PROPERTY(int MaxValue READ MaxValue WRITE setMaxValue)
    Q_PROPERTY(int HighValue READ HighValue WRITE setHighValue)
    Q_PROPERTY(int LowValue READ LowValue WRITE setLowValue)
    Q_PROPERTY(int MinValue READ MinValue WRITE setMinValue)
    Q_PROPERTY(int Value READ Value WRITE setValue)
    Q_PROPERTY(bool Active READ Active WRITE setActive)
    Q_PROPERTY(bool Transparent READ Transparent WRITE setTransparent)
    Q_PROPERTY(int Interval READ Interval WRITE setInterval)
    Q_PROPERTY(int HorizLinesInterval READ HorizLinesInterval WRITE setHorizLinesInterval)
    Q_PROPERTY(int VertLinesInterval READ VertLinesInterval WRITE setVertLinesInterval)

public:
    // Number of samples kept; position 1 is the newest, position 300 the oldest.
    static constexpr int HistorySize = 300;

    explicit THistograph(QWidget *parent = nullptr);
    ~THistograph() override;

    QColor BackgroundColor() const { return m_backgroundColor; }
    QColor GridColor() const { return m_gridColor; }
    QColor GraphHighColor() const { return m_graphHighColor; }
    QColor GraphNormalColor() const { return m_graphNormalColor; }
    QColor GraphLowColor() const { return m_graphLowColor; }
    int MaxValue() const { return m_maxValue; }
    int HighValue() const { return m_highValue; }
    int LowValue() const { return m_lowValue; }
    int MinValue() const { return m_minValue; }
    int Value() const { return m_value; }
    bool Active() const { return m_active; }
    bool Transparent() const { return m_transparent; }
    int Interval() const { return m_interval; }
    int HorizLinesInterval() const { return m_horizLinesInterval; }
    int VertLinesInterval() const { return m_vertLinesInterval; }

    // Fill of the whole control, and the colour key that lets the grid show between bars.
    void setBackgroundColor(const QColor &color);
    void setGridColor(const QColor &color);
    void setGraphHighColor(const QColor &color);
    void setGraphNormalColor(const QColor &color);
    void setGraphLowColor(const QColor &color);
    void setHighValue(int value);
    void setLowValue(int value);
    // A maximum below the minimum (or a minimum above the maximum) is ignored.
    void setMaxValue(int value);
    void setMinValue(int value);
    // What the next tick records; the history does not change.
    void setValue(int value);
    // Runs or stops the sampling timer; the picture is kept either way.
    void setActive(bool active);
    // true: 1-pixel bars with a 1-pixel gap; false: solid 2-pixel bars.
    void setTransparent(bool transparent);
    // Seconds between two ticks; a value below 1 is ignored. Requests no repaint.
    void setInterval(int seconds);
    // Value units between horizontal grid lines; 0 or less draws none.
    void setHorizLinesInterval(int units);
    // Seconds between vertical grid lines: a value below `Interval` is ignored, any other is
    // rounded down to a multiple of `Interval`.
    void setVertLinesInterval(int seconds);

    // Sample at `position` (1 = newest .. HistorySize = oldest).
    int History(int position) const;
    // The timer that drives TimerTick; it runs exactly while `Active` is true.
    const QTimer &SampleTimer() const { return m_sampleTimer; }

    // Colour of a bar for `value`: low at or below `LowValue`, else high at or above
    // `HighValue`, else normal.
    QColor GetBarColor(int value) const;

    // Sets the whole history to `MinValue`, redraws the bars and repaints.
    void Clear();
    // One sampling step: AddSample, then a repaint request. The timer calls it.
    void TimerTick();
    // Records `Value` as the newest sample and scrolls the bar picture by one sample.
    void AddSample();

    // The finished picture for the current size, exactly as the next paint shows it.
    QImage renderFrame();

    QSize sizeHint() const override { return QSize(200, 100); }

    // --- Second series (off by default) ------------------------------------------------------
    // An optional second quantity with its own 300-sample history, drawn as a 1-pixel line
    // in `SecondColor` over the bars, on the same scale: each sample's point is the top pixel
    // a bar of that value would light (clipped to the top row above MaxValue; no point for a
    // value that lights no bar), and neighbouring samples are joined by a vertical run in the
    // column between them (down to the bottom row for one that lights none). It records
    // `SecondValue` at the same ticks as `Value`. With the series off the picture is exactly the
    // single-series one.
    bool SecondSeries() const { return m_secondSeries; }
    // Switching the series on or off empties its history (MinValue everywhere) and repaints.
    void setSecondSeries(bool on);
    int SecondValue() const { return m_secondValue; }
    // What the next tick records for the second series; draws nothing by itself.
    void setSecondValue(int value);
    QColor SecondColor() const { return m_secondColor; }
    void setSecondColor(const QColor &color);
    // Second-series sample at `position` (1 = newest .. HistorySize = oldest).
    int SecondHistory(int position) const;

Q_SIGNALS:
    // After each tick of the sampling timer, once the new sample is in the history.
    void sampleAdded();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    enum Change { RebuildGrid = 1, RedrawAllBars = 2, Repaint = 4 };
    // The one path by which property changes reach the cached layers and the screen.
    void invalidate(int changes);

    void BuildGrid();
    void RedrawBars();
    // Rebuilds the layers when the size changed, then composes FrameBuffer from them.
    void composeFrame();
    // Pixels per value unit, or 0 when the value range is empty (no bars, no grid rows).
    long double scale() const;
    int barHeight(int value, long double scale) const;
    void drawBar(QImage &layer, int x, int height, int value) const;
    void drawSecondSeries(QImage &frame) const;

    QColor m_backgroundColor{0, 0, 0};
    QColor m_gridColor{192, 192, 192};
    QColor m_graphHighColor{255, 0, 0};
    QColor m_graphNormalColor{0, 255, 0};
    QColor m_graphLowColor{255, 255, 0};
    int m_maxValue = 100;
    int m_highValue = 80;
    int m_lowValue = 20;
    int m_minValue = 0;
    int m_value = 50;
    bool m_active = true;
    bool m_transparent = true;
    int m_interval = 2;
    int m_horizLinesInterval = 10;
    int m_vertLinesInterval = 60;

    std::array<int, HistorySize> m_history{}; // index 0 is position 1, the newest sample
    bool m_secondSeries = false;
    int m_secondValue = 0;
    QColor m_secondColor{255, 0, 255};
    std::array<int, HistorySize> m_secondHistory{}; // as m_history
    QTimer m_sampleTimer;
    QImage m_gridLayer;
    QImage m_barLayer;
    QImage m_scrollLayer;
    QImage m_frameBuffer;
    int m_lastWidth = 0;
    int m_lastHeight = 0;
    // FrameBuffer no longer matches the layers. Widgets stacked above the graph render it
    // again for their own backdrops, so an unchanged frame is not composed twice.
    bool m_frameStale = true;
};
