#pragma once

#include "OnErrorMode.h"

#include <QString>

#include <optional>

// Applying stored texts: each text is matched exactly, case included, against the legal
// texts of its value. A text that matches nothing yields no value, and the caller leaves its
// control in the state it had. The "...Text" functions give the form a handler stores.
namespace SettingValues
{

// "yes" -> true, "no" -> false; anything else ("Yes", "") -> nothing.
std::optional<bool> flag(const QString &text);
QString flagText(bool on);

// The quantity the graphs show, value "values". InOut draws the input as the graph's bars
// and the output as a line over them.
enum class ShownValue { In, Out, Combined, InOut };

// "IN", "OUT", "comb", "INOUT". The stored form of combined is "COMB", which applies nothing
// (the initial selection is combined anyway).
std::optional<ShownValue> shownValue(const QString &text);
QString shownValueText(ShownValue value);

// Value "intervall": "3", "6", "12", "30", "60" or "120" seconds.
std::optional<int> pollInterval(const QString &text);

// Value "gmaxvalue": "10", "50" or "100" percent.
std::optional<int> graphMaximum(const QString &text);

// Value "numbergraphs": "10", "15" or "20".
std::optional<int> numberOfGraphs(const QString &text);

// The whole-number choices above in their stored form.
QString wholeText(int value);

// Value "onerrors": "stop" or "zeroes".
std::optional<OnErrorMode> onErrors(const QString &text);
QString onErrorsText(OnErrorMode mode);

// Values "highvalue" and "lowvalue": a whole number in decimal, no range check. Throws
// OstralineError naming the text when it is no whole number or does not fit an int.
int threshold(const QString &text);

} // namespace SettingValues
