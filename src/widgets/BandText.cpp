#include "widgets/BandText.h"

#include "widgets/UiLanguage.h"

#include <QLocale>

#include <array>
#include <cmath>
#include <string>

namespace orvex {

namespace {

constexpr std::array<std::pair<const char*, const char*>, 6> kTypeNames = {
    {{"关闭", "OFF"}, {"参量", "PEQ"}, {"低通", "LP"}, {"高通", "HP"}, {"低架", "LS"}, {"高架", "HS"}}};

bool IsDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

double ParseLeadingNumber(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i].isSpace()) {
        ++i;
    }
    std::string number;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        number += static_cast<char>(text[i].unicode());
        ++i;
    }
    bool digits = false;
    while (i < n && IsDigit(text[i])) {
        number += static_cast<char>(text[i++].unicode());
        digits = true;
    }
    if (i < n && text[i] == QLatin1Char('.')) {
        number += '.';
        ++i;
        while (i < n && IsDigit(text[i])) {
            number += static_cast<char>(text[i++].unicode());
            digits = true;
        }
    }
    if (!digits) {
        return 0.0;
    }
    // An exponent counts only when digits follow it ("5e" is 5 followed by a letter).
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-'))) {
            exponent += static_cast<char>(text[j++].unicode());
        }
        if (j < n && IsDigit(text[j])) {
            while (j < n && IsDigit(text[j])) {
                exponent += static_cast<char>(text[j++].unicode());
            }
            number += exponent;
        }
    }
    // The C locale reads the point as the decimal separator whatever the user's locale is.
    bool ok = false;
    const double value = QLocale::c().toDouble(QString::fromLatin1(number.c_str()), &ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

QString FormatBandGain(double gainDb) {
    return QString::asprintf("%+-.1fdB", gainDb);
}

QString FormatBandFrequency(double hz) {
    return QString::asprintf("%.0fHz", hz);
}

QString FormatBandQ(double q) {
    return QString::asprintf("%.2f", q);
}

QString BandTypeName(int code) {
    if (code < 0 || code >= static_cast<int>(kTypeNames.size())) {
        return {};
    }
    const auto& names = kTypeNames[static_cast<size_t>(code)];
    return UiText(names.first, names.second);
}

QStringList BandTypeChoices() {
    QStringList out;
    for (int code = 1; code <= 5; ++code) {
        out << BandTypeName(code);
    }
    return out;
}

int BandTypeFromName(const QString& name) {
    const QStringList choices = BandTypeChoices();
    const qsizetype at = choices.indexOf(name.trimmed());
    return at < 0 ? -1 : static_cast<int>(at) + 1;
}

} // namespace orvex
