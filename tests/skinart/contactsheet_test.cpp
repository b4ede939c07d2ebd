// The contact sheet shows every picture once, unclipped and without overlaps.
#include "tools/skinart/artwork.h"
#include "tools/skinart/contactsheet.h"
#include "tools/skinart/pixelart.h"

#include <gtest/gtest.h>
#include <set>

using namespace skinart;

TEST(SkinContactSheet, PlacesEveryPictureOnceInsideTheSheetWithoutOverlap)
{
    const std::vector<Artwork> art = renderAll();
    const SheetLayout layout = layoutSheet(art, 2, 1200);
    ASSERT_EQ(layout.items.size(), art.size());
    std::set<int> seen;
    const QRect sheet(QPoint(0, 0), layout.size);
    for (size_t i = 0; i < layout.items.size(); ++i) {
        const auto& item = layout.items[i];
        EXPECT_TRUE(seen.insert(item.index).second) << "placed twice: " << item.index;
        const Artwork& a = art[size_t(item.index)];
        EXPECT_EQ(item.image.size(), shownSize(a.image, 2)) << qPrintable(a.info.name);
        EXPECT_GE(item.image.width(), a.image.width() * 2);
        EXPECT_TRUE(sheet.contains(item.image) && sheet.contains(item.label))
            << qPrintable(a.info.name);
        for (size_t j = i + 1; j < layout.items.size(); ++j) {
            const auto& other = layout.items[j];
            EXPECT_FALSE(item.image.united(item.label).intersects(other.image.united(other.label)))
                << qPrintable(a.info.name) << " overlaps "
                << qPrintable(art[size_t(other.index)].info.name);
        }
    }
    // One band per style plus the shared pictures, in catalogue order.
    ASSERT_EQ(layout.bands.size(), 6u);
    EXPECT_EQ(layout.bands.front().group, "MACOS");
    EXPECT_EQ(layout.bands.back().group, "SHARED");
}

TEST(SkinContactSheet, MagnifiesWithoutBlendingAndMarksTheKeyColour)
{
    const std::vector<Artwork> art = renderAll();
    const SheetLayout layout = layoutSheet(art, 2, 1900);
    const QImage sheet = renderSheet(art, 2, 1900);
    ASSERT_EQ(sheet.size(), layout.size);
    for (const auto& item : layout.items) {
        const QImage& src = art[size_t(item.index)].image;
        for (int y = 0; y < src.height(); y += 3)
            for (int x = 0; x < src.width(); x += 3) {
                const QRgb c = src.pixel(x, y);
                const QRgb shown =
                    sheet.pixel(item.image.x() + 2 * x + 1, item.image.y() + 2 * y + 1);
                if (c == kMagenta)
                    EXPECT_NE(shown, kMagenta);
                else
                    ASSERT_EQ(shown, c) << qPrintable(art[size_t(item.index)].info.name);
            }
    }
}
