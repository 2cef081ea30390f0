#pragma once
// Texts as the forms and the reading tables store them.
#include <QString>

namespace rv {

// The longest leading numeric part of a text, leading blanks skipped, "." as the decimal
// point whatever the locale; 0 when there is none.
double leadingNumber(const QString& text);

// The leading number as a count (a number of channels): its whole part, within low .. high.
int leadingCount(const QString& text, int low, int high);

// Whether the whole text (blanks around it allowed) is a number a double holds: ASCII digits,
// a sign, one point, an exponent. The one test of every box and cell that is stored as a number.
bool isNumeric(const QString& text);

// Format patterns of the forms: "###0.0#", "##0.0#" (one or two decimals), "##0.0" (one),
// "##0.00" (two). A numeric text is rounded half away from zero; a text that is not a number
// is returned unchanged, an empty text stays empty.
QString formatNumber(const QString& text, const QString& pattern);

// The text a one-line box shows: each line break (CR LF, LF or CR) and each tab becomes one
// blank.
QString singleLine(const QString& text);

// A number in plain decimal form for messages and keys: 0, 2.5, -40, 5000.
QString plainNumber(double value);

} // namespace rv
