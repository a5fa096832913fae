#pragma once
#include <QString>

// The value of a text of hexadecimal digits, from the last character (position 0) to the first:
// "0".."9" and "A".."F" (capitals only) give their digit, any other character 0 but still takes its
// position. An empty text gives 0. Texts of more than seven digits may leave the int range.
inline int HexTextToInt(const QString &text)
{
    unsigned result = 0;
    unsigned weight = 1;
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        const QChar c = text[i];
        unsigned digit = 0;
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digit = unsigned(c.unicode() - '0');
        else if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
            digit = unsigned(c.unicode() - 'A' + 10);
        result += digit * weight;
        weight *= 16;
    }
    return int(result);
}
