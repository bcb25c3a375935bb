#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

#include <functional>

// The scheme a TWebLabel puts before its link, in this order.
enum class TURLType {
    lnFile,
    lnFtp,
    lnGopher,
    lnHttp,
    lnHttps,
    lnMailto,
    lnNews,
    lnTelnet,
    lnWais
};

// "file://", "ftp://", "gopher://", "http://", "https://", "mailto:", "news:", "telnet:",
// "wais:".
QString urlPrefix(TURLType type);

// A text label that opens a link when any mouse button is released over it. While the mouse
// is over it, its font colour is FocusColor; otherwise the remembered normal colour, which is
// the label's font colour whenever that is set to anything other than FocusColor.
class TWebLabel : public QLabel
{
    Q_OBJECT

public:
    static constexpr QStringView DefaultLink = u"ostraline.kelvane.example";

    explicit TWebLabel(QWidget *parent = nullptr);

    QColor focusColor() const { return m_focusColor; }
    void setFocusColor(const QColor &color) { m_focusColor = color; }

    // The target without its scheme prefix.
    QString link() const { return m_link; }
    void setLink(const QString &link) { m_link = link; }

    TURLType linkType() const { return m_linkType; }
    void setLinkType(TURLType type) { m_linkType = type; }

    // The font colour the label is drawn with now.
    QColor fontColor() const;
    void setFontColor(const QColor &color);
    // Sets the font colour the way the window that holds the label gives it when built: it
    // becomes the remembered normal colour even when it equals FocusColor.
    void loadFontColor(const QColor &color);
    // The colour restored when the mouse leaves.
    QColor normalColor() const { return m_normalColor; }

    // The prefix of LinkType followed by Link.
    QString target() const;
    // Hands target() to the desktop; throws OstralineError naming Link on failure.
    void openLink();

    // Called after the colour changed on entering or leaving, when set.
    std::function<void()> onMouseEnter;
    std::function<void()> onMouseLeave;

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void applyColor(const QColor &color);

    QColor m_focusColor{Qt::red};
    QColor m_normalColor;
    QString m_link;
    TURLType m_linkType = TURLType::lnHttp;
};
