#pragma once

#include <QString>
#include <QStringList>

namespace orvex {

// Reads the number a band value starts with: optional blanks, sign, digits, a decimal point and an
// exponent. Whatever follows (a unit, letters) is ignored, and text without a number reads 0. No
// hexadecimal, infinities or NaN, so a typed value is always a finite decimal.
double ParseLeadingNumber(const QString& text);

// The cell and edit formats of band values.
QString FormatBandGain(double gainDb);  // "%+-.1fdB"
QString FormatBandFrequency(double hz); // "%.0fHz"
QString FormatBandQ(double q);          // "%.2f"

// Type names in the current language: codes 0 .. 5 ("关闭"/"OFF" .. "高架"/"HS"); other codes give an
// empty string.
QString BandTypeName(int code);
// The five choices of the type drop-down (PEQ .. HS) in the current language.
QStringList BandTypeChoices();
// The code (1 .. 5) of a drop-down choice of the current language, or -1 when the text names none.
int BandTypeFromName(const QString& name);

} // namespace orvex
