#include "framework/dialog_units.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>

#include "../ui/support/gui_test_env.h"

namespace {

TEST(DialogUnits, FourUnitsAreTheAverageWidthAndEightTheHeight)
{
    const CDialogUnits units(7, 13);
    const struct {
        DialogUnitBox box;
        QRect expected;
    } cases[] = {
        {{4, 8, 4, 8}, QRect(7, 13, 7, 13)},
        {{0, 0, 322, 147}, QRect(0, 0, 564, 239)}, // 322 * 7 / 4 = 563.5, 147 * 13 / 8 = 238.9
        {{60, 20, 135, 14}, QRect(105, 33, 236, 22)},
        // Edges are rounded, so boxes that touch in units touch in pixels.
        {{1, 1, 1, 1}, QRect(2, 2, 2, 1)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(units.MapDialogRect(c.box), c.expected) << c.box.x << "," << c.box.y << "," << c.box.cx << "," << c.box.cy;
        const QRect next = units.MapDialogRect({c.box.x + c.box.cx, c.box.y, 10, 10});
        EXPECT_EQ(next.left(), units.MapDialogRect(c.box).right() + 1);
    }
}

TEST(DialogUnits, TakenFromTheFontsMetrics)
{
    const QFont font = CreateDialogFont("MS UI Gothic", 9);
    const CDialogUnits units(font);
    const QFontMetrics metrics(font);
    EXPECT_EQ(units.CharHeight(), metrics.height());
    const int nAverage = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    EXPECT_LE(std::abs(units.CharWidth() * 52 - nAverage), 52); // rounded average
    // A larger font gives larger units.
    EXPECT_GT(CDialogUnits(CreateDialogFont("MS UI Gothic", 18)).CharHeight(), units.CharHeight());
}

TEST(DialogFont, NamedFacesFallBackToAnInstalledJapaneseGothic)
{
    if (!QFontDatabase::families().contains(QStringLiteral("IPAPGothic")) ||
        !QFontDatabase::families().contains(QStringLiteral("IPAGothic")))
        GTEST_SKIP() << "the IPA Gothic fonts are not installed";
    const struct {
        const char* pszFace;
        const char* pszFamily;
    } cases[] = {
        {"MS UI Gothic", "IPAPGothic"},     {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"MS PGothic", "IPAPGothic"},
        {"ＭＳ ゴシック", "IPAGothic"},     {"MS Gothic", "IPAGothic"},         {"IPAGothic", "IPAGothic"},
        {"", "IPAGothic"},
    };
    for (const auto& c : cases) {
        const QFont font = CreateDialogFont(c.pszFace, 9);
        EXPECT_EQ(QFontInfo(font).family().toStdString(), c.pszFamily) << c.pszFace;
        EXPECT_EQ(font.pointSize(), 9);
    }
}

} // namespace
