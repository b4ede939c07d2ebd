#pragma once
// One picture that shows every piece of artwork, magnified and labelled, grouped by style,
// for reviewing the five looks side by side.
#include "tools/skinart/artwork.h"

#include <QImage>
#include <QRect>
#include <vector>

namespace skinart {

struct SheetLayout
{
    struct Item
    {
        int index; // into the artwork list
        QRect label;
        QRect image; // magnified picture
    };
    struct Band
    {
        QString group;
        QRect header;  // style name and colour swatches
        QRect area;    // the whole band
        QRect preview; // the pieces put together, magnified; empty for the shared band
    };
    QSize size;
    QRect legend;
    std::vector<Band> bands;
    std::vector<Item> items;
};

// Size of a picture on the sheet: magnified; one or two pixels wide ones repeated across 12.
QSize shownSize(const QImage& img, int scale);

// Places the pictures in one band per group (in catalogue order), flowing left to right and
// wrapping at `maxWidth`; pictures wider than that get a row of their own.
SheetLayout layoutSheet(const std::vector<Artwork>& art, int scale, int maxWidth);
// Draws the sheet; magenta is shown as a grey checkerboard.
QImage renderSheet(const std::vector<Artwork>& art, int scale = 2, int maxWidth = 1900);

} // namespace skinart
