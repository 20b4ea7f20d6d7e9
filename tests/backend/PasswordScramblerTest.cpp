// The stored form of a remembered password.
#include "PasswordScrambler.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(PasswordScramblerTest, KnownVectorsRoundTrip)
{
    // Computed independently of the station's code from the scrambling rule.
    struct Case {
        const char* name;
        QByteArray password;
        const char* stored;
    } cases[] = {
        {"empty", "", "000000"},
        {"one letter", "a", "x10000hx"},
        {"ASCII", "admin123", "va0000hxlFi_rVp0a4cevU"},
        {"UTF-8", "\xE5\xAF\x86\xE7\xA0\x81" "Ab", "5j0000RBAAGhNXxSyQj-5F"},
        {"60 characters", QByteArray("Pa55-word_").repeated(6),
         "ih1000gghG6CbJ83v2uh0V4O363T4hp9KSHAOxNMPmTfSJSJDAYUNz__BHAcCmGaFQFyGl-bQ8NlEaDgFeJvIBIJJsO9TaQsH5G0Iqw7LW"
         "LcwSRyWUTJ_aZr-uP7O6"},
        // 180 bytes: the key bytes of positions 75-149 come from a negative sine.
        {"60 CJK characters", QByteArray("\xE5\x8F\xA3\xE4\xBB\xA4").repeated(30),
         "ca8000RBA4DQX_CtGh-r_4NPBZMsQiFp88bivOaAe4jc2Z5u9DkOoMdSsjv034ujif7nmXppdrobsp1qgPju7ui6mvbpqQtG1mskg854kGn-"
         "bRmEqHfBeO1nlc0u4ZpM82byLrW7_2zVOuREVuAfEaZYIoLmPAufi872mupFdz8fcdh30n3InDO3SiHfWLZUxMY_MCRvAUDeX9CoGZ-WKpx"
         "eRGwNAGVAEfHw-xGXKzPzycBCVAANEHZHIsLTPXKEy0TeCZFmZtU-YExMMnPYD8OfSsrBaqdVh7cn0o5yk2nWb0mlqo-AK2xSR0wrAiFBU6X"
         "RL-Wi_gzv295hpP4q8aticYft3CuRiP7Vmip1d5ojsf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray stored = ScramblePassword(c.password);
        EXPECT_EQ(stored, QByteArray(c.stored));
        EXPECT_EQ(stored.size(), 6 + 2 * c.password.size());
        for (char letter : stored)
            EXPECT_NE(strchr(StoredPasswordAlphabet, letter), nullptr) << letter;
        QByteArray decoded("leftover");
        EXPECT_TRUE(DecodeStoredPassword(QString::fromLatin1(c.stored), &decoded));
        EXPECT_EQ(decoded, c.password);
    }
}

TEST(PasswordScramblerTest, InvalidStoredTextsDecodeToNothing)
{
    const QString longest = QString::fromLatin1(ScramblePassword(QByteArray(508, 'x')));
    const QString tooLong = QString::fromLatin1(ScramblePassword(QByteArray(509, 'x')));
    ASSERT_EQ(longest.size(), 1022);
    ASSERT_EQ(tooLong.size(), 1024);
    struct Case {
        const char* name;
        QString stored;
        bool valid;
        QByteArray password;
    } cases[] = {
        {"longest that fits", longest, true, QByteArray(508, 'x')},
        {"over the 1,024-byte text", tooLong, false, ""},
        {"shorter than six", "00000", false, ""},
        {"empty", "", false, ""},
        // One letter past the last pair: nothing may be read past the text's end.
        {"odd number of letters", "x10000hxa", false, ""},
        {"only the sum letters", "x10000", false, ""},
        // 'h' -> 'i' keeps the byte but breaks the nibble check of the first pair.
        {"check nibble", "va0000ixlFi_rVp0a4cevU", false, ""},
        {"sum", "wa0000hxlFi_rVp0a4cevU", false, ""},
        // Letters outside the alphabet read as 0.
        {"foreign letters as zero", "*#!0 0", true, ""},
        {"foreign letter in a pair", "x10000h*", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray decoded("leftover");
        EXPECT_EQ(DecodeStoredPassword(c.stored, &decoded), c.valid);
        EXPECT_EQ(decoded, c.password);
    }
}
