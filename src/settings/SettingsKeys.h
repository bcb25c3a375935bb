#pragma once

#include <QString>
#include <QStringView>

#include <array>

// The eighteen stored values: their names (blanks and case exactly as stored) and the text
// written when a value is absent.
namespace SettingsKeys
{

inline constexpr QStringView HighValue = u"highvalue";
inline constexpr QStringView LowValue = u"lowvalue";
inline constexpr QStringView OnErrors = u"onerrors";
inline constexpr QStringView HighValueColor = u"highvaluecolor";
inline constexpr QStringView NormalValueColor = u"normalvaluecolor";
inline constexpr QStringView LowValueColor = u"lowvaluecolor";
inline constexpr QStringView Values = u"values";
inline constexpr QStringView Intervall = u"intervall";
inline constexpr QStringView DoubleUpdateSpeed = u"double update speed";
inline constexpr QStringView GMaxValue = u"gmaxvalue";
inline constexpr QStringView NumberGraphs = u"numbergraphs";
inline constexpr QStringView ShowLastValues = u"Show last values";
inline constexpr QStringView ShowInterfaceNames = u"Show interface names";
inline constexpr QStringView ShowErrors = u"Show errors";
inline constexpr QStringView WriteUtilLog = u"Write util log";
inline constexpr QStringView WriteAnalysisLog = u"Write analysis log";
inline constexpr QStringView FirstStartFile = u"first start file";
inline constexpr QStringView FirstStartFileActive = u"first start file active";

// The utilisation thresholds in percent when nothing is stored: the one place they are
// written. The stored texts below, the Options boxes' initial texts, the alert rules and the
// history window's threshold lines all take them from here.
inline constexpr int HighValueDefault = 70;
inline constexpr int LowValueDefault = 20;

// A whole number 0 to 999 as constant decimal text, so a default number and its stored text
// cannot drift apart.
struct DecimalText {
    char16_t digits[3]{};
    qsizetype size = 0;
    constexpr QStringView view() const { return QStringView(digits, size); }
};
constexpr DecimalText decimalText(int value)
{
    DecimalText text;
    const int divisors[] = {100, 10, 1};
    for (int divisor : divisors) {
        if (value >= divisor || divisor == 1 || text.size > 0)
            text.digits[text.size++] = char16_t(u'0' + value / divisor % 10);
    }
    return text;
}
inline constexpr DecimalText HighValueDefaultText = decimalText(HighValueDefault);
inline constexpr DecimalText LowValueDefaultText = decimalText(LowValueDefault);
static_assert(HighValueDefault >= 0 && HighValueDefault <= 999 && LowValueDefault >= 0 &&
              LowValueDefault <= 999);

struct Setting {
    QStringView name;
    QStringView defaultText;
};

// Every value with its default, in the order in which the main window's start-up reads them.
// The colour default "clred" is lower case on purpose: it is what a first start stores.
inline constexpr std::array<Setting, 18> StartupOrder{{
    {HighValue, HighValueDefaultText.view()},
    {LowValue, LowValueDefaultText.view()},
    {OnErrors, u"stop"},
    {HighValueColor, u"clred"},
    {NormalValueColor, u"clYellow"},
    {LowValueColor, u"clLime"},
    {Values, u"comb"},
    {Intervall, u"6"},
    {DoubleUpdateSpeed, u"no"},
    {GMaxValue, u"100"},
    {NumberGraphs, u"10"},
    {ShowLastValues, u"no"},
    {ShowInterfaceNames, u"no"},
    {ShowErrors, u"no"},
    {WriteUtilLog, u"no"},
    {WriteAnalysisLog, u"no"},
    {FirstStartFile, u""},
    {FirstStartFileActive, u"no"},
}};

// Values beyond the eighteen, read by start-up after them, in this order.
inline constexpr QStringView Counters64 = u"64-bit counters";
// Read link state, errors and discards with the counters ("yes"/"no").
inline constexpr QStringView LinkHealth = u"link health";
// Last-values captions in bit/s with the percentages beside them ("yes"/"no").
inline constexpr QStringView RatesInBits = u"rates in bits";
// Colour of the output line that "In and out" draws over the input bars (colour text).
inline constexpr QStringView OutLineColor = u"outlinecolor";
// Where the metrics endpoint serves ("127.0.0.1:9650"); empty: off.
inline constexpr QStringView MetricsAddress = u"metrics address";

inline constexpr std::array<Setting, 5> ExtensionOrder{{
    {Counters64, u"no"},
    {RatesInBits, u"no"},
    {OutLineColor, u"clFuchsia"},
    {MetricsAddress, u""},
    {LinkHealth, u"no"},
}};

// Values that their own features read when they need them (not applied at start-up).
// The device files loaded last, newest first, at most RecentFilesKept, one path a line.
inline constexpr QStringView RecentFiles = u"recent files";
inline constexpr int RecentFilesKept = 8;
// "yes": at start, load the last device file (when start-up loaded none) and start polling.
inline constexpr QStringView ResumePolling = u"resume polling";
// Days the daily logs are kept ("" keeps them all); older ones are removed.
inline constexpr QStringView LogKeepDays = u"log keep days";

inline constexpr std::array<Setting, 3> FeatureValues{{
    {RecentFiles, u""},
    {ResumePolling, u"no"},
    {LogKeepDays, u""},
}};

// The default of one of the eighteen values, of an extension or of a feature value (names
// compared exactly).
// Throws OstralineError for a name that is none of them.
QString defaultText(QStringView name);

} // namespace SettingsKeys
