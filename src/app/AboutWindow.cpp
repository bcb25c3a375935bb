#include "AboutWindow.h"

#include "OstralineVersion.h"
#include "Pictures.h"
#include "WebLabel.h"

#include <QLabel>
#include <QPushButton>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>

namespace
{

// The trailing blanks of the first and fourth lines belong to the text.
const QString AboutText = QStringLiteral("Ostraline, \n"
                                         "OSL.exe\n"
                                         "Version " OSTRALINE_VERSION "; April 2005\n"
                                         "Network Monitoring Software \n"
                                         "by Kelvane");

QFont boldUnderlined(QFont font)
{
    font.setBold(true);
    font.setUnderline(true);
    return font;
}

} // namespace

TForm2::TForm2(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(335, 482);

    // The picture across the full width, scaled to fit with its proportions kept.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 335, 183);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(Pictures::aboutPicture().scaled(Image1->size(), Qt::KeepAspectRatio,
                                                      Qt::SmoothTransformation));

    Memo1 = new QTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(16, 196, 303, 118);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont bold = Memo1->font();
    bold.setBold(true);
    Memo1->setFont(bold);
    Memo1->setPlainText(AboutText);
    QTextCursor all(Memo1->document());
    all.select(QTextCursor::Document);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    all.mergeBlockFormat(centred);

    WebLabel1 = new TWebLabel(this);
    WebLabel1->setObjectName(QStringLiteral("WebLabel1"));
    WebLabel1->setFont(boldUnderlined(WebLabel1->font()));
    // Red, like its focus colour, and still the colour it returns to when the mouse leaves.
    WebLabel1->loadFontColor(Qt::red);
    WebLabel1->setToolTip(QStringLiteral("Kelvane Software Homepage"));
    WebLabel1->setLinkType(TURLType::lnHttp);
    WebLabel1->setLink(HomepageLink.toString());
    WebLabel1->setText(HomepageLink.toString());
    WebLabel1->setAlignment(Qt::AlignCenter);
    WebLabel1->setGeometry(16, 334, 303, 24);

    WebLabel2 = new TWebLabel(this);
    WebLabel2->setObjectName(QStringLiteral("WebLabel2"));
    WebLabel2->setFont(boldUnderlined(WebLabel2->font()));
    // Blue is remembered as the normal colour before it also becomes the focus colour.
    WebLabel2->setFontColor(Qt::blue);
    WebLabel2->setFocusColor(Qt::blue);
    WebLabel2->setToolTip(QStringLiteral("Mail to Kelvane"));
    WebLabel2->setLinkType(TURLType::lnMailto);
    WebLabel2->setLink(MailLink.toString());
    WebLabel2->setText(MailLink.toString());
    WebLabel2->setAlignment(Qt::AlignCenter);
    WebLabel2->setGeometry(16, 370, 303, 24);

    Button1 = new QPushButton(QStringLiteral("&Close"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(130, 430, 75, 27);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

void TForm2::showAbout()
{
    setWindowTitle(QStringLiteral("About"));
    Memo1->setVisible(true);
    exec();
}

void TForm2::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Button1->setFocus();
}
