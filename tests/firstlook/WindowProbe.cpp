// A Qt generic plugin that a test loads into the unchanged program (QT_PLUGIN_PATH and
// QT_QPA_GENERIC_PLUGINS=ostralinewindowprobe) to learn what its window shows.
//
// Whenever the file "request" appears in the folder OSTRALINE_PROBE_DIR, the probe writes
// "widgets.txt" and "screen.bmp", then removes the request; it touches nothing else.
// widgets.txt holds tab-separated lines, positions in screen coordinates:
//   modal   0|1                          whether a modal window is open
//   button  enabled text                 each shown button
//   caption x y w h text                 each shown caption label with a text
//   graph   x y w h low normal high      each shown histogram and its three bar colours
//   status  text                         each shown status-bar panel with a text
// screen.bmp is the whole screen as the display server holds it (where the platform lets a
// client grab it; not on Wayland).
// A request may also hold one command, carried out after the report, for platforms without
// input injection (a headless Wayland compositor):
//   click TEXT    clicks the shown, enabled button with that text, as a user's click would
//   close TITLE   closes the shown top-level window with that title, as its close button
//   busy MS       keeps the GUI thread busy for MS milliseconds without handling any event,
//                 as a loaded machine or a long piece of work on that thread would

#include <QAbstractButton>
#include <QApplication>
#include <QColor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGenericPlugin>
#include <QLabel>
#include <QPixmap>
#include <QRect>
#include <QSaveFile>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QWidget>

namespace
{

QString rectText(const QWidget *widget)
{
    const QRect r(widget->mapToGlobal(QPoint(0, 0)), widget->size());
    return QStringLiteral("%1\t%2\t%3\t%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

QString oneLine(QString text)
{
    return text.replace(u'\n', u' ').replace(u'\t', u' ');
}

class WindowProbe : public QObject
{
public:
    explicit WindowProbe(const QString &folder) : m_folder(folder)
    {
        auto *timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, &WindowProbe::answer);
        timer->start(100);
    }

private:
    void answer()
    {
        const QString request = m_folder.filePath(QStringLiteral("request"));
        if (!QFile::exists(request))
            return;
        QStringList lines;
        lines << QStringLiteral("platform\t") + QGuiApplication::platformName();
        lines << QStringLiteral("modal\t%1").arg(QApplication::activeModalWidget() ? 1 : 0);
        for (QWidget *widget : QApplication::allWidgets()) {
            if (!widget->isVisible())
                continue;
            if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
                lines << QStringLiteral("button\t%1\t%2")
                             .arg(button->isEnabled() ? 1 : 0)
                             .arg(oneLine(button->text()));
            } else if (widget->inherits("TTransLabel")) {
                const QString caption = widget->property("Caption").toString();
                if (!caption.isEmpty())
                    lines << QStringLiteral("caption\t") + rectText(widget) + u'\t' +
                                 oneLine(caption);
            } else if (auto *label = qobject_cast<QLabel *>(widget);
                       label && qobject_cast<QStatusBar *>(label->parentWidget())) {
                if (!label->text().isEmpty())
                    lines << QStringLiteral("status\t") + oneLine(label->text());
            } else if (widget->inherits("THistograph")) {
                lines << QStringLiteral("graph\t") + rectText(widget) + u'\t' +
                             widget->property("GraphLowColor").value<QColor>().name() + u'\t' +
                             widget->property("GraphNormalColor").value<QColor>().name() + u'\t' +
                             widget->property("GraphHighColor").value<QColor>().name();
            }
        }
        const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
        screen.save(m_folder.filePath(QStringLiteral("screen.bmp")));
        QSaveFile file(m_folder.filePath(QStringLiteral("widgets.txt")));
        if (file.open(QIODevice::WriteOnly)) {
            file.write(lines.join(u'\n').toUtf8() + '\n');
            file.commit();
        }
        QFile command(request);
        const QString line = command.open(QIODevice::ReadOnly)
                                 ? QString::fromUtf8(command.readAll()).trimmed()
                                 : QString();
        command.close();
        QFile::remove(request);
        carryOut(line);
    }

    static void carryOut(const QString &line)
    {
        const QString verb = line.section(u' ', 0, 0);
        const QString text = line.section(u' ', 1);
        if (verb == QLatin1String("busy")) {
            QElapsedTimer busy;
            busy.start();
            const qint64 ms = text.toLongLong();
            while (busy.elapsed() < ms) {
            }
            return;
        }
        for (QWidget *widget : QApplication::allWidgets()) {
            if (!widget->isVisible())
                continue;
            auto *button = qobject_cast<QAbstractButton *>(widget);
            if (verb == QLatin1String("click") && button && button->isEnabled() &&
                button->text() == text) {
                button->click();
                return;
            }
            if (verb == QLatin1String("close") && widget->isWindow() &&
                widget->windowTitle() == text) {
                widget->close();
                return;
            }
        }
    }

    QDir m_folder;
};

} // namespace

class WindowProbePlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "windowprobe.json")

public:
    QObject *create(const QString &key, const QString &) override
    {
        const QString folder = qEnvironmentVariable("OSTRALINE_PROBE_DIR");
        if (key.compare(QLatin1String("ostralinewindowprobe"), Qt::CaseInsensitive) != 0 ||
            folder.isEmpty())
            return nullptr;
        return new WindowProbe(folder);
    }
};

#include "WindowProbe.moc"
