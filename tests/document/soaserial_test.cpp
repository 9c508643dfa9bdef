// The SOA serial a save counts on: which number is the serial, in the shapes
// zone files really take, and what comes after it on a given day.
#include "document/soaserial.h"
#include "document/textbuffer.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

const QDate kToday(2026, 12, 9);

TEST(SoaSerial, NextSerialOnAGivenDay)
{
    struct Case {
        const char *why;
        const char *serial;
        std::optional<QString> next;
    };
    const Case cases[] = {
        {"a plain number counts on", "42", QStringLiteral("43")},
        {"an earlier day starts today's", "2026120305", QStringLiteral("2026120900")},
        {"an earlier year too", "1999123199", QStringLiteral("2026120900")},
        {"today's counts on", "2026120900", QStringLiteral("2026120901")},
        {"and again", "2026120901", QStringLiteral("2026120902")},
        {"a later day never goes back", "2027010100", QStringLiteral("2027010101")},
        {"99 on today's date spills into the next day", "2026120999", QStringLiteral("2026121000")},
        {"ten digits that are no date count on", "4000000000", QStringLiteral("4000000001")},
        {"one below the top still counts", "4294967294", QStringLiteral("4294967295")},
        {"the top would wrap", "4294967295", std::nullopt},
        {"past the top is no serial", "9999999999", std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(nextSoaSerial(QString::fromLatin1(c.serial), kToday), c.next);
    }
    // Saved twice on one day, then on the next.
    std::optional<QString> serial = nextSoaSerial(u"2026120400", kToday);
    serial = nextSoaSerial(*serial, kToday);
    EXPECT_EQ(serial, QStringLiteral("2026120901"));
    EXPECT_EQ(nextSoaSerial(*serial, kToday.addDays(1)), QStringLiteral("2026121000"));
}

TEST(SoaSerial, FindsTheSerialInEveryShapeOfRecord)
{
    struct Case {
        const char *why;
        const char *zone;
        int line; // of the serial, -1 when none is found
        int column;
        const char *digits;
    };
    const Case cases[] = {
        {"one line", "@ IN SOA ns1.example.com. admin.example.com. 7 3600 900 604800 86400\n", 0, 45, "7"},
        {"parentheses over lines with comments",
            "$TTL 3600\n$ORIGIN example.com.\n"
            "@\t3600 IN SOA ns1 hostmaster ( ; the start\n"
            "\t\t2026120901 ; serial\n\t\t3600 900 604800 86400 )\n",
            3, 2, "2026120901"},
        {"serial on the line of the parenthesis", "@ SOA ns1 admin (\n 12\n 1 2 3 4)\n", 1, 1, "12"},
        {"class before TTL, lower case", "example.com. in 60 soa a. b. 5 1 2 3 4\n", 0, 29, "5"},
        {"owner left to the record before", "@ NS ns1\n IN SOA ns1 admin 9 1 2 3 4\n", 1, 18, "9"},
        {"after other records", "www A 10.0.0.1\nsoa A 10.0.0.2\n@ SOA ns1 admin 3 1 2 3 4\n", 2, 16, "3"},
        {"SOA in a comment or a string is no record",
            "; @ SOA ns1 admin 1 1 2 3 4\nt TXT \"SOA ns1 admin 2\"\n@ SOA ns1 admin 33 1 2 3 4\n", 2, 16,
            "33"},
        {"no SOA", "www A 10.0.0.1\n", -1, 0, ""},
        {"a serial that is not a number", "@ SOA ns1 admin x1 1 2 3 4\n", -1, 0, ""},
        {"an SOA cut short", "@ SOA ns1 admin\n", -1, 0, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why);
        TextBuffer text;
        text.setPlainText(QString::fromLatin1(c.zone));
        const std::optional<SoaSerialSpot> spot = findSoaSerial(text);
        if (c.line < 0) {
            EXPECT_FALSE(spot.has_value());
            continue;
        }
        ASSERT_TRUE(spot.has_value());
        EXPECT_EQ(spot->digits, QString::fromLatin1(c.digits));
        EXPECT_EQ(spot->position, text.lineStart(c.line) + c.column);
    }
}

TEST(SoaSerial, BumpIsOneUndoStepAndTheTopIsKept)
{
    TextBuffer text;
    text.setPlainText(u"@ IN SOA ns1 admin ( 2026120901 ; serial\n 1 2 3 4 )\nwww A 10.0.0.1\n");
    text.replace(0, 0, QStringLiteral("; edited\n"), {});
    const SoaSerialBump bump = bumpSoaSerial(text, kToday);
    EXPECT_TRUE(bump.changed);
    EXPECT_EQ(bump.message, QStringLiteral("SOA 일련번호: 2026120901 → 2026120902"));
    EXPECT_EQ(text.line(1), QStringLiteral("@ IN SOA ns1 admin ( 2026120902 ; serial"));
    const TextSelection back = text.undo();
    EXPECT_EQ(text.line(1), QStringLiteral("@ IN SOA ns1 admin ( 2026120901 ; serial"));
    EXPECT_EQ(text.text(back.start(), back.end()), QStringLiteral("2026120901"));
    EXPECT_EQ(text.line(0), QStringLiteral("; edited")) << "the edit before went with the serial";

    TextBuffer top;
    top.setPlainText(u"@ SOA ns1 admin 4294967295 1 2 3 4\n");
    const SoaSerialBump kept = bumpSoaSerial(top, kToday);
    EXPECT_FALSE(kept.changed);
    EXPECT_TRUE(kept.message.contains(QStringLiteral("그대로 두었습니다")));
    EXPECT_EQ(top.line(0), QStringLiteral("@ SOA ns1 admin 4294967295 1 2 3 4"));
    EXPECT_FALSE(top.isUndoAvailable());

    TextBuffer none;
    none.setPlainText(u"www A 10.0.0.1\n");
    EXPECT_EQ(bumpSoaSerial(none, kToday).message, QString());
}

} // namespace
