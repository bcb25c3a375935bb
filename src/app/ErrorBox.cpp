#include "ErrorBox.h"

#include "ErrorReport.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

namespace ErrorBox
{
namespace
{

// Messages joined into one box beyond this are counted, not listed.
constexpr int MaxListed = 8;
const QString Gap = QStringLiteral("\n\n");

QPointer<QMessageBox> &openBox()
{
    static QPointer<QMessageBox> box;
    return box;
}

void join(QMessageBox &box, const QString &message)
{
    QStringList listed = box.property("listed").toStringList();
    if (listed.contains(message))
        return;
    int more = box.property("more").toInt();
    if (listed.size() < MaxListed)
        listed << message;
    else
        ++more;
    box.setProperty("listed", listed);
    box.setProperty("more", more);
    QString text = listed.join(Gap);
    if (more > 0)
        text += Gap + QStringLiteral("(%1 more errors)").arg(more);
    box.setText(text);
}

} // namespace

void install()
{
    ErrorReport::setHandler([](const QString &message) { show(message); });
}

void show(const QString &message)
{
    if (QMessageBox *box = openBox()) {
        join(*box, message);
        return;
    }
    auto *box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Ostraline"), message,
                                QMessageBox::Ok, QApplication::activeWindow());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->setProperty("listed", QStringList{message});
    openBox() = box;
    box->show();
}

QMessageBox *current()
{
    return openBox();
}

} // namespace ErrorBox
