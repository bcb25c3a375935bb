#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTextEdit;
class TWebLabel;

// The About window: the product picture, a five-line text, the homepage and mail links and
// "&Close". The homepage link is also what "Product Homepage" opens.
class TForm2 : public QDialog
{
    Q_OBJECT

public:
    static constexpr QStringView HomepageLink = u"ostraline.kelvane.example";
    static constexpr QStringView MailLink = u"support@kelvane.example";

    explicit TForm2(QWidget *parent = nullptr);

    // Caption "About", the text shown, then modal until "&Close".
    void showAbout();

    QLabel *Image1 = nullptr;
    QTextEdit *Memo1 = nullptr;
    TWebLabel *WebLabel1 = nullptr; // product homepage
    TWebLabel *WebLabel2 = nullptr; // mail contact
    QPushButton *Button1 = nullptr; // &Close

protected:
    void showEvent(QShowEvent *event) override;
};
