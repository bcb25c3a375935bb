#include "ColourPicker.h"

#include "ColourResolve.h"

#include <QPainter>
#include <QPixmap>

namespace
{

QIcon swatch(TColor colour)
{
    QPixmap pixmap(16, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.fillRect(pixmap.rect(), resolveColour(colour));
    painter.setPen(Qt::black);
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return QIcon(pixmap);
}

// Not colours of their own: the "no colour" and "default colour" markers.
bool listed(TColor colour)
{
    return colour != Colours::clNone && colour != Colours::clDefault;
}

} // namespace

TColourPicker::TColourPicker(QWidget *parent) : QComboBox(parent)
{
    setIconSize(QSize(16, 12));
    for (const ColourName &entry : colourNames()) {
        if (!listed(entry.colour))
            continue;
        addItem(swatch(entry.colour), displayName(entry.name), QVariant::fromValue(entry.colour));
    }
    setColour(Colours::clBlack);
}

QString TColourPicker::displayName(QStringView colourName)
{
    QStringView rest = colourName;
    if (rest.startsWith(u"cl"))
        rest = rest.mid(2);
    // A word starts at a capital after a lower-case letter ("MoneyGreen"), or at the last
    // capital of a run that a lower-case letter follows ("3DDkShadow" -> "3D", "Dk", ...).
    QStringList words;
    QString word;
    for (qsizetype i = 0; i < rest.size(); ++i) {
        const QChar c = rest.at(i);
        const bool afterLower = i > 0 && rest.at(i - 1).isLower();
        const bool endsRun =
            i > 0 && rest.at(i - 1).isUpper() && i + 1 < rest.size() && rest.at(i + 1).isLower();
        if (c.isUpper() && !word.isEmpty() && (afterLower || endsRun)) {
            words << word;
            word.clear();
        }
        word += c;
    }
    if (!word.isEmpty())
        words << word;
    for (QString &w : words) {
        if (w == u"Btn")
            w = QStringLiteral("Button");
        else if (w == u"Dk")
            w = QStringLiteral("Dark");
        else if (w == u"Med")
            w = QStringLiteral("Medium");
        else if (w == u"App")
            w = QStringLiteral("Application");
        else if (w == u"Bk")
            w = QStringLiteral("Background");
    }
    return words.join(u' ');
}

int TColourPicker::customIndex() const
{
    for (int i = 0; i < count(); ++i) {
        if (itemData(i, CustomRole).toBool())
            return i;
    }
    return -1;
}

TColor TColourPicker::colour() const
{
    const int index = currentIndex();
    if (index < 0)
        return Colours::clBlack;
    return itemData(index, ColourRole).value<TColor>();
}

void TColourPicker::setColour(TColor colour)
{
    int custom = customIndex();
    for (int i = 0; i < count(); ++i) {
        if (i != custom && itemData(i, ColourRole).value<TColor>() == colour) {
            setCurrentIndex(i);
            if (custom >= 0)
                removeItem(custom);
            return;
        }
    }
    if (custom < 0) {
        addItem(QString());
        custom = count() - 1;
        setItemData(custom, true, CustomRole);
    }
    setItemText(custom, QStringLiteral("Custom"));
    setItemIcon(custom, swatch(colour));
    setItemData(custom, QVariant::fromValue(colour), ColourRole);
    setCurrentIndex(custom);
}
