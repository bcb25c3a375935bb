#include "ColourText.h"
#include "ErrorReport.h"
#include "SettingValues.h"

#include <QTest>

using namespace SettingValues;

class TestSettingValues : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void colourFromText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<quint32>("colour");
        QTest::newRow("plain name") << "clRed" << 0x000000FFu;
        QTest::newRow("default spelling clred") << "clred" << 0x000000FFu;
        QTest::newRow("upper case name") << "CLMONEYGREEN" << 0x00C0DCC0u;
        QTest::newRow("extra colour") << "clSkyBlue" << 0x00F0CAA6u;
        QTest::newRow("system colour") << "clBtnFace" << 0xFF00000Fu;
        QTest::newRow("system index 0") << "clScrollBar" << 0xFF000000u;
        QTest::newRow("system with digit") << "cl3ddkshadow" << 0xFF000015u;
        QTest::newRow("clDefault") << "clDefault" << 0x20000000u;
        QTest::newRow("clNone") << "clnone" << 0x1FFFFFFFu;
        QTest::newRow("dollar form") << "$00123456" << 0x00123456u;
        QTest::newRow("dollar system form") << "$FF00000F" << 0xFF00000Fu;
        QTest::newRow("dollar short lower case") << "$ff" << 0x000000FFu;
        QTest::newRow("decimal") << "65280" << 0x0000FF00u;
        QTest::newRow("negative decimal is signed form") << "-16777201" << 0xFF00000Fu;
        QTest::newRow("largest decimal") << "4294967295" << 0xFFFFFFFFu;
    }
    void colourFromText()
    {
        QFETCH(QString, text);
        QFETCH(quint32, colour);
        QCOMPARE(::colourFromText(text), colour);
    }

    void colourFromTextRejects_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("plain word") << "red";
        QTest::newRow("name with blank") << " clRed";
        QTest::newRow("dollar alone") << "$";
        QTest::newRow("nine hex digits") << "$123456789";
        QTest::newRow("non-hex digit") << "$12G4";
        QTest::newRow("signed hex") << "$-1";
        QTest::newRow("0x prefix") << "0x10";
        QTest::newRow("decimal with letters") << "12abc";
        QTest::newRow("decimal above 32 bits") << "4294967296";
        QTest::newRow("decimal below signed 32 bits") << "-2147483649";
    }
    void colourFromTextRejects()
    {
        QFETCH(QString, text);
        try {
            ::colourFromText(text);
            QFAIL("no error raised");
        } catch (const OstralineError &error) {
            QVERIFY2(error.message().contains(u'\'' + text + u'\''), qPrintable(error.message()));
        }
    }

    void colourToText_data()
    {
        QTest::addColumn<quint32>("colour");
        QTest::addColumn<QString>("text");
        QTest::newRow("black") << 0u << "clBlack";
        QTest::newRow("red in table spelling") << 0x000000FFu << "clRed";
        QTest::newRow("med gray") << 0x00A4A0A0u << "clMedGray";
        QTest::newRow("system colour") << 0xFF00000Fu << "clBtnFace";
        QTest::newRow("clDefault") << 0x20000000u << "clDefault";
        QTest::newRow("clNone") << 0x1FFFFFFFu << "clNone";
        QTest::newRow("other colour") << 0x00123456u << "$00123456";
        QTest::newRow("upper-case hex") << 0x00ABCDEFu << "$00ABCDEF";
        QTest::newRow("unnamed system index") << 0xFF000019u << "$FF000019";
    }
    void colourToText()
    {
        QFETCH(quint32, colour);
        QFETCH(QString, text);
        QCOMPARE(::colourToText(colour), text);
    }

    // Every name reads back to itself: no later row shadows an earlier one's number.
    void everyNameRoundTrips()
    {
        for (const ColourName &entry : colourNames()) {
            QCOMPARE(::colourToText(::colourFromText(entry.name.toString().toLower())),
                     entry.name.toString());
        }
    }

    // One table per value: the text, and the choice it selects (-1: none, the control keeps
    // its state).
    void choices_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("choice");
        QTest::newRow("flag yes") << "flag"
                                  << "yes" << 1;
        QTest::newRow("flag no") << "flag"
                                 << "no" << 0;
        QTest::newRow("flag Yes is not yes") << "flag"
                                             << "Yes" << -1;
        QTest::newRow("flag with blank") << "flag"
                                         << "yes " << -1;
        QTest::newRow("flag empty") << "flag"
                                    << "" << -1;
        QTest::newRow("values IN") << "values"
                                   << "IN" << int(ShownValue::In);
        QTest::newRow("values OUT") << "values"
                                    << "OUT" << int(ShownValue::Out);
        QTest::newRow("values comb") << "values"
                                     << "comb" << int(ShownValue::Combined);
        QTest::newRow("values COMB applies nothing") << "values"
                                                     << "COMB" << -1;
        QTest::newRow("values in lower case") << "values"
                                              << "in" << -1;
        QTest::newRow("values INOUT") << "values"
                                      << "INOUT" << int(ShownValue::InOut);
        QTest::newRow("values inout applies nothing") << "values"
                                                      << "inout" << -1;
        QTest::newRow("intervall 3") << "intervall"
                                     << "3" << 3;
        QTest::newRow("intervall 120") << "intervall"
                                       << "120" << 120;
        QTest::newRow("intervall 7") << "intervall"
                                     << "7" << -1;
        QTest::newRow("intervall 06") << "intervall"
                                      << "06" << -1;
        QTest::newRow("intervall empty") << "intervall"
                                         << "" << -1;
        QTest::newRow("gmaxvalue 50") << "gmaxvalue"
                                      << "50" << 50;
        QTest::newRow("gmaxvalue 20") << "gmaxvalue"
                                      << "20" << -1;
        QTest::newRow("numbergraphs 15") << "numbergraphs"
                                         << "15" << 15;
        QTest::newRow("numbergraphs 100") << "numbergraphs"
                                          << "100" << -1;
        QTest::newRow("onerrors stop") << "onerrors"
                                       << "stop" << int(OnErrorMode::Stop);
        QTest::newRow("onerrors zeroes") << "onerrors"
                                         << "zeroes" << int(OnErrorMode::Zeroes);
        QTest::newRow("onerrors Stop") << "onerrors"
                                       << "Stop" << -1;
    }
    void choices()
    {
        QFETCH(QString, value);
        QFETCH(QString, text);
        QFETCH(int, choice);
        const auto asInt = [](auto optional) { return optional ? int(*optional) : -1; };
        int got = -2;
        if (value == "flag")
            got = asInt(flag(text));
        else if (value == "values")
            got = asInt(shownValue(text));
        else if (value == "intervall")
            got = asInt(pollInterval(text));
        else if (value == "gmaxvalue")
            got = asInt(graphMaximum(text));
        else if (value == "numbergraphs")
            got = asInt(numberOfGraphs(text));
        else if (value == "onerrors")
            got = asInt(onErrors(text));
        QCOMPARE(got, choice);
    }

    // What a handler stores is what the next start applies, except combined: "COMB" is
    // stored and applies nothing, which leaves the initial combined selection.
    void storedFormsApplyAtNextStart()
    {
        QCOMPARE(shownValue(shownValueText(ShownValue::In)), ShownValue::In);
        QCOMPARE(shownValue(shownValueText(ShownValue::Out)), ShownValue::Out);
        QCOMPARE(shownValue(shownValueText(ShownValue::InOut)), ShownValue::InOut);
        QCOMPARE(shownValueText(ShownValue::Combined), QStringLiteral("COMB"));
        QCOMPARE(shownValue(shownValueText(ShownValue::Combined)), std::nullopt);
        QCOMPARE(flag(flagText(true)), true);
        QCOMPARE(flag(flagText(false)), false);
        QCOMPARE(onErrors(onErrorsText(OnErrorMode::Zeroes)), OnErrorMode::Zeroes);
        QCOMPARE(onErrors(onErrorsText(OnErrorMode::Stop)), OnErrorMode::Stop);
        QCOMPARE(pollInterval(wholeText(30)), 30);
    }

    void threshold_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");
        QTest::newRow("default high") << "70" << true << 70;
        QTest::newRow("no range check") << "250" << true << 250;
        QTest::newRow("negative") << "-5" << true << -5;
        QTest::newRow("word") << "abc" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("fraction") << "7.5" << false << 0;
        QTest::newRow("beyond int") << "99999999999" << false << 0;
    }
    void threshold()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, value);
        try {
            QCOMPARE(SettingValues::threshold(text), value);
            QVERIFY(valid);
        } catch (const OstralineError &error) {
            QVERIFY2(!valid, qPrintable(error.message()));
            QVERIFY2(error.message().contains(u'\'' + text + u'\''), qPrintable(error.message()));
        }
    }
};

QTEST_GUILESS_MAIN(TestSettingValues)
#include "tst_settingvalues.moc"
