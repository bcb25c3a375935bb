#include "WebLabel.h"

#include "ErrorReport.h"
#include "Pictures.h"
#include "ShellOpen.h"

#include <QMouseEvent>

#include <array>

QString urlPrefix(TURLType type)
{
    static const std::array<QString, 9> prefixes = {
        QStringLiteral("file://"), QStringLiteral("ftp://"),   QStringLiteral("gopher://"),
        QStringLiteral("http://"), QStringLiteral("https://"), QStringLiteral("mailto:"),
        QStringLiteral("news:"),   QStringLiteral("telnet:"),  QStringLiteral("wais:")};
    return prefixes.at(std::size_t(type));
}

TWebLabel::TWebLabel(QWidget *parent) : QLabel(parent), m_link(DefaultLink.toString())
{
    setText(m_link);
    setToolTip(QStringLiteral("Click to open ") + m_link);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setFontColor(QColor(0, 0, 128)); // navy
    setCursor(Pictures::webHandCursor());
}

QColor TWebLabel::fontColor() const
{
    return palette().color(QPalette::WindowText);
}

void TWebLabel::setFontColor(const QColor &color)
{
    applyColor(color);
}

void TWebLabel::loadFontColor(const QColor &color)
{
    applyColor(color);
    m_normalColor = color;
}

void TWebLabel::applyColor(const QColor &color)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
    if (color != m_focusColor)
        m_normalColor = color;
}

QString TWebLabel::target() const
{
    return urlPrefix(m_linkType) + m_link;
}

void TWebLabel::openLink()
{
    ShellOpen::open(target(), m_link);
}

void TWebLabel::enterEvent(QEnterEvent *event)
{
    QLabel::enterEvent(event);
    applyColor(m_focusColor);
    if (onMouseEnter)
        onMouseEnter();
}

void TWebLabel::leaveEvent(QEvent *event)
{
    QLabel::leaveEvent(event);
    applyColor(m_normalColor);
    if (onMouseLeave)
        onMouseLeave();
}

void TWebLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    // The release reaches the label that took the press even when the mouse has moved away.
    if (!rect().contains(event->position().toPoint()))
        return;
    ErrorReport::guarded([this] { openLink(); });
}

void TWebLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        const QColor color = fontColor();
        if (color != m_focusColor)
            m_normalColor = color;
    }
}
