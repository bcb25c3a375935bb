#include "ColourResolve.h"

#include <QPalette>
#include <QTest>

class TestColourResolve : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void resolve_data()
    {
        // A palette whose roles all differ, so that each system colour shows its role.
        QPalette palette;
        palette.setColor(QPalette::All, QPalette::Button, QColor(1, 1, 1));
        palette.setColor(QPalette::All, QPalette::Base, QColor(2, 2, 2));
        palette.setColor(QPalette::Active, QPalette::Highlight, QColor(3, 3, 3));
        palette.setColor(QPalette::Inactive, QPalette::Highlight, QColor(4, 4, 4));
        palette.setColor(QPalette::Disabled, QPalette::Text, QColor(5, 5, 5));
        palette.setColor(QPalette::Active, QPalette::Text, QColor(6, 6, 6));
        palette.setColor(QPalette::All, QPalette::Window, QColor(7, 7, 7));
        palette.setColor(QPalette::All, QPalette::ToolTipBase, QColor(8, 8, 8));

        QTest::addColumn<QPalette>("palette");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("red") << palette << "clRed" << QColor(255, 0, 0);
        QTest::newRow("sky blue") << palette << "clSkyBlue" << QColor(166, 202, 240);
        QTest::newRow("med gray") << palette << "clMedGray" << QColor(160, 160, 164);
        QTest::newRow("dollar form") << palette << "$00123456" << QColor(0x56, 0x34, 0x12);
        QTest::newRow("button face") << palette << "clBtnFace" << QColor(1, 1, 1);
        QTest::newRow("window") << palette << "clWindow" << QColor(2, 2, 2);
        QTest::newRow("highlight") << palette << "clHighlight" << QColor(3, 3, 3);
        QTest::newRow("inactive caption") << palette << "clInactiveCaption" << QColor(4, 4, 4);
        QTest::newRow("gray text") << palette << "clGrayText" << QColor(5, 5, 5);
        QTest::newRow("window text") << palette << "clWindowText" << QColor(6, 6, 6);
        QTest::newRow("info background") << palette << "clInfoBk" << QColor(8, 8, 8);
        QTest::newRow("clDefault") << palette << "clDefault" << QColor(7, 7, 7);
        QTest::newRow("clNone") << palette << "clNone" << QColor(Qt::transparent);
        QTest::newRow("unknown system index") << palette << "$FF000019" << QColor(Qt::black);
    }
    void resolve()
    {
        QFETCH(QPalette, palette);
        QFETCH(QString, text);
        QFETCH(QColor, expected);
        QCOMPARE(resolveColour(colourFromText(text), palette), expected);
    }

    void applicationPaletteIsTheDefault()
    {
        const TColor face = colourFromText("clBtnFace");
        QCOMPARE(resolveColour(face), QGuiApplication::palette().color(QPalette::Button));
    }
};

QTEST_MAIN(TestColourResolve)
#include "tst_colourresolve.moc"
