// Colour texts of the settings store.
//
// Properties checked:
// - any text either reads as a colour or raises OstralineError, nothing else;
// - the stored text of a colour reads back as the same colour, and is either a table name or
//   "$" with eight upper-case hexadecimal digits;
// - the stored text of a colour read from text is stable (writing it again gives it again).

#include "ColourText.h"
#include "ErrorReport.h"
#include "FuzzCheck.h"

#include <cstring>

namespace
{

bool isTableName(const QString &text)
{
    for (const ColourName &entry : colourNames()) {
        if (entry.name == text)
            return true;
    }
    return false;
}

void checkColour(TColor colour)
{
    const QString text = colourToText(colour);
    FUZZ_CHECK_TEXT(colourFromText(text) == colour, text);
    if (!isTableName(text)) {
        FUZZ_CHECK_TEXT(text.size() == 9 && text.startsWith(QLatin1Char('$')), text);
        for (qsizetype i = 1; i < text.size(); ++i) {
            const QChar c = text.at(i);
            FUZZ_CHECK_TEXT((c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                                (c >= QLatin1Char('A') && c <= QLatin1Char('F')),
                            text);
        }
    }
}

} // namespace

// Input: a mode byte, then a text (UTF-8 or Latin-1) or a colour number's four bytes.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const unsigned char mode = data[0];
    const QByteArray bytes = fuzzBytes(data + 1, size - 1);
    if (mode & 1) {
        if (bytes.size() < 4)
            return 0;
        TColor colour = 0;
        std::memcpy(&colour, bytes.constData(), sizeof colour);
        checkColour(colour);
        return 0;
    }
    const QString text = (mode & 2) ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes);
    TColor colour = 0;
    try {
        colour = colourFromText(text);
    } catch (const OstralineError &error) {
        FUZZ_CHECK_TEXT(error.message().contains(text), text);
        return 0;
    }
    checkColour(colour);
    FUZZ_CHECK_TEXT(colourToText(colourFromText(colourToText(colour))) == colourToText(colour),
                    text);
    return 0;
}
