// The drop-down's search and the title lower and fold case as the Qt shell always did with
// QChar and QString: every character compared with Qt's own mapping.
#include "app/case_fold.h"

#include <gtest/gtest.h>

#include <QChar>
#include <QString>
#include <string>

#include "platform/unicode.h"

namespace telvora::app {
namespace {

std::string Utf8(char32_t c) {
    std::string out;
    platform::AppendUtf8(out, c);
    return out;
}

TEST(CaseFoldAgainstQtTest, EveryCharacterFoldsAndLowersAsQChar) {
    int folding = 0;
    int lowering = 0;
    int texts = 0;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) {
            continue;
        }
        if (FoldCase(c) != QChar::toCaseFolded(c) && ++folding <= 5) {
            ADD_FAILURE() << "fold of U+" << std::hex << static_cast<unsigned>(c);
        }
        if (LowerCase(c) != QChar::toLower(c) && ++lowering <= 5) {
            ADD_FAILURE() << "lower case of U+" << std::hex << static_cast<unsigned>(c);
        }
        // Not fromUcs4, which takes U+FEFF for a byte-order mark.
        const QString text = QStringView(QChar::fromUcs4(c)).toString();
        if (LowerCaseText(Utf8(c)) != text.toLower().toStdString() && ++texts <= 5) {
            ADD_FAILURE() << "lower-case text of U+" << std::hex << static_cast<unsigned>(c);
        }
    }
    EXPECT_EQ(folding, 0);
    EXPECT_EQ(lowering, 0);
    EXPECT_EQ(texts, 0);
}

TEST(CaseFoldAgainstQtTest, StartsWithAsQStringIgnoringCase) {
    const char* texts[] = {"RDA Mixed", "Районы России", "РДА-2020", "Straße", "ΑΣ", "Ёлка", ""};
    const char* prefixes[] = {"rda",     "RDA M", "рай", "РАЙОНЫ Р", "рда-", "STRAẞ",
                              "strasse", "ας",    "ёЛ",  "",         "x"};
    for (const char* text : texts) {
        for (const char* prefix : prefixes) {
            EXPECT_EQ(
                StartsWithIgnoringCase(text, prefix),
                QString::fromUtf8(text).startsWith(QString::fromUtf8(prefix), Qt::CaseInsensitive))
                << text << " / " << prefix;
        }
    }
}

}  // namespace
}  // namespace telvora::app
