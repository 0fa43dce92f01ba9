#include "framework/dialog_units.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>

#include <cmath>
#include <vector>

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

TEST(DialogUnits, EightUnitsAreTheLineHeightAndTheWidthOfAFullWidthCharacter)
{
    for (const char* pszFace : {"MS UI Gothic", "DejaVu Sans"}) {
        for (int nPoints : {9, 18}) {
            const QFont font = CreateDialogFont(pszFace, nPoints);
            const CDialogUnits units(font);
            const QFontMetricsF metrics(font);
            EXPECT_EQ(units.ToPixelsY(8), std::lround(metrics.height())) << pszFace << " " << nPoints;
            EXPECT_EQ(units.ToPixelsX(8), std::lround(metrics.horizontalAdvance(QStringLiteral("漢"))))
                << pszFace << " " << nPoints;
        }
    }
}

TEST(DialogUnits, FittedUnitsGiveEveryBoxWhatItsControlNeeds)
{
    const CDialogUnits base(6, 12);
    const struct {
        const char* pszName;
        std::vector<ControlExtent> extents;
    } cases[] = {
        {"nothing needed", {{{15, 22, 41, 8}, QSize()}}},
        {"fits already", {{{15, 22, 41, 8}, QSize(50, 10)}}},
        {"a wide label", {{{15, 22, 41, 8}, QSize(90, 12)}, {{60, 20, 135, 14}, QSize(0, 20)}}},
        {"a tall button", {{{265, 10, 50, 14}, QSize(60, 40)}}},
        {"the widest of a column", {{{15, 22, 41, 8}, QSize(70, 12)}, {{15, 40, 41, 8}, QSize(95, 12)},
                                    {{15, 82, 42, 8}, QSize(80, 12)}}},
    };
    for (const auto& c : cases) {
        const CDialogUnits fitted = base.FittedTo(c.extents);
        bool bFitsBefore = true;
        for (const ControlExtent& extent : c.extents) {
            const QRect rect = fitted.MapDialogRect(extent.box);
            EXPECT_GE(rect.width(), extent.needed.width()) << c.pszName;
            EXPECT_GE(rect.height(), extent.needed.height()) << c.pszName;
            const QRect before = base.MapDialogRect(extent.box);
            bFitsBefore = bFitsBefore && before.width() >= extent.needed.width() &&
                          before.height() >= extent.needed.height();
        }
        // Units only grow, and not at all when everything fitted.
        const QRect whole = fitted.MapDialogRect({0, 0, 322, 147});
        const QRect baseWhole = base.MapDialogRect({0, 0, 322, 147});
        EXPECT_GE(whole.width(), baseWhole.width()) << c.pszName;
        EXPECT_GE(whole.height(), baseWhole.height()) << c.pszName;
        if (bFitsBefore) {
            EXPECT_EQ(whole, baseWhole) << c.pszName;
        }
    }
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
