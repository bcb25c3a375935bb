#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

// A caption label that looks see-through: it shows what lies below its rectangle, tinted with
// its `Color` by a percentage, and writes its `Caption` over it.
//
// The picture below is taken from the parent's own rendering (the parent, then every sibling
// stacked below this label that intersects it), never from the screen, so it does not depend
// on other windows. At `Transparency` 100 the tint changes nothing and the label draws only
// its caption straight over what Qt has already painted below it; with an empty caption it
// paints nothing at all.
//
// Mouse input is handled like any plain QWidget, so a fully transparent label can lie over
// another control to carry a context menu.
class TTransLabel : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(CaptionAlignment Alignment READ Alignment WRITE setAlignment)
    Q_PROPERTY(int Transparency READ Transparency WRITE setTransparency)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(bool Mist READ Mist WRITE setMist)
    Q_PROPERTY(CaptionLayout Layout READ Layout WRITE setLayout)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE setWordWrap)
    Q_PROPERTY(QColor Color READ Color WRITE setColor)
    Q_PROPERTY(QColor FontColor READ FontColor WRITE setFontColor)

public:
    enum class CaptionAlignment { Left, Right, Center };
    Q_ENUM(CaptionAlignment)
    enum class CaptionLayout { Top, Center, Bottom };
    Q_ENUM(CaptionLayout)

    explicit TTransLabel(QWidget *parent = nullptr);
    ~TTransLabel() override;

    CaptionAlignment Alignment() const { return m_alignment; }
    int Transparency() const { return m_transparency; }
    QString Caption() const { return m_caption; }
    bool Mist() const { return m_mist; }
    CaptionLayout Layout() const { return m_layout; }
    bool WordWrap() const { return m_wordWrap; }
    QColor Color() const { return m_color; }
    QColor FontColor() const { return m_fontColor; }

    // Horizontal placement of the caption.
    void setAlignment(CaptionAlignment alignment);
    // Percentage of the picture below kept in every pixel. Throws OstralineError
    // "Value must be between 0 and 100" for a value outside 0..100 and keeps the old one.
    void setTransparency(int percent);
    void setCaption(const QString &caption);
    // true: the caption is drawn before tinting and tinted with the picture; false: it is
    // drawn after tinting in its pure colour.
    void setMist(bool mist);
    // Vertical placement of the caption. (QWidget::setLayout(QLayout *) stays available.)
    void setLayout(CaptionLayout layout);
    using QWidget::setLayout;
    // Break the caption at word boundaries to fit the width.
    void setWordWrap(bool wordWrap);
    // The tint colour.
    void setColor(const QColor &color);
    // Colour of the caption text; typeface and size come from QWidget::font().
    void setFontColor(const QColor &color);

    // The composed picture (what lies below, tinted, with the caption) for the current size.
    QImage renderFrame();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // Fills Backdrop with what lies below, tints it and writes the caption.
    void Compose();
    // Writes the caption with `painter`, in this label's coordinates.
    void DrawCaption(QPainter &painter) const;
    int textFlags() const;

    CaptionAlignment m_alignment = CaptionAlignment::Left;
    int m_transparency = 60;
    QString m_caption;
    bool m_mist = true;
    CaptionLayout m_layout = CaptionLayout::Top;
    bool m_wordWrap = false;
    QColor m_color{0, 128, 0};
    QColor m_fontColor{0, 0, 0};
    QImage m_backdrop;
};
