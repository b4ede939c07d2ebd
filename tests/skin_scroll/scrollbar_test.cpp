// The skinned scroll bar: layout and thumb length from the style's artwork, positions, paging,
// arrows and dragging, driven through its timers' slots instead of by waiting.
#include "mouse.h"
#include "skin/suibutton.h"
#include "skin/suipublic.h"
#include "skin/suiscrollbar.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {
// A shown DeepBlue bar on a plain parent, so that sizes take effect as in the window.
struct BarFixture
{
    QWidget parent;
    TsuiScrollBar* bar = new TsuiScrollBar(&parent);

    BarFixture(TsuiScrollBarOrientation orientation, int length)
    {
        parent.resize(400, 400);
        bar->SetOrientation(orientation);
        if (orientation == suiVertical)
            bar->resize(bar->width(), length);
        else
            bar->resize(length, bar->height());
        parent.show();
    }
    TsuiScrollTrackBar& track() const { return *bar->Track(); }
    // The thumb's start along the channel.
    int thumbAt() const { return SliderOffset(track().Metrics()); }
};

QImage Frame(int entry, int count, int index)
{
    QImage image;
    EXPECT_TRUE(GetInsideThemeBitmap(TsuiUIStyle::DeepBlue, entry, image, count, index));
    return image;
}
} // namespace

TEST(ScrollBarLayout, VerticalDeepBlueBarOf200)
{
    BarFixture f(suiVertical, 200);
    TsuiScrollBar& bar = *f.bar;
    EXPECT_EQ(bar.size(), QSize(16, 200));
    EXPECT_EQ(TRect::fromQRect(bar.DecButton()->geometry()), Bounds(0, 0, 16, 16));
    EXPECT_EQ(TRect::fromQRect(bar.IncButton()->geometry()), Bounds(0, 184, 16, 16));
    EXPECT_EQ(TRect::fromQRect(f.track().geometry()), Bounds(0, 16, 16, 168));
    // PageSize 2 lies outside 10..100, so the thumb is 10 % of 168.
    EXPECT_EQ(f.track().SliderPicture().size(), QSize(16, 16));
    bar.SetPosition(50);
    EXPECT_EQ(SliderRect(f.track().Metrics()), Bounds(0, 76, 16, 16));
    EXPECT_EQ(bar.Color(), TColor(0xF5F5F5));
}

TEST(ScrollBarLayout, NewBarIsHorizontalAndAsHighAsItsTurnedArrows)
{
    QWidget parent;
    TsuiScrollBar bar(&parent);
    EXPECT_EQ(bar.Orientation(), suiHorizontal);
    EXPECT_EQ(bar.Max(), 100);
    EXPECT_EQ(bar.PageSize(), 2);
    EXPECT_EQ(bar.SmallChange(), 1);
    EXPECT_EQ(bar.size(), QSize(185, 16));
    EXPECT_EQ(TRect::fromQRect(bar.Track()->geometry()), Bounds(16, 0, 153, 16));
    EXPECT_EQ(bar.IncButton()->x(), 169);
    // Up arrows turn to point left, down arrows to point right.
    QImage up = Frame(SuiTheme::ScrollBarButtonImage, 6, 1);
    QImage downPressed = Frame(SuiTheme::ScrollBarButtonImage, 6, 6);
    RoundPicture(up);
    RoundPicture(downPressed);
    EXPECT_EQ(bar.DecButton()->PicNormal(), up);
    EXPECT_EQ(bar.IncButton()->PicMouseDown(), downPressed);
}

TEST(ScrollBarLayout, ZeroSizeHidesTheBar)
{
    BarFixture f(suiHorizontal, 120);
    ASSERT_TRUE(f.bar->isVisible());
    f.bar->resize(0, f.bar->height());
    EXPECT_FALSE(f.bar->isVisible());
}

TEST(ScrollBarThumb, PicturesAreTurnedAndPaintedAtThePosition)
{
    BarFixture f(suiVertical, 200);
    f.bar->SetPageSize(50); // 84 pixels
    f.bar->SetPosition(100);
    ASSERT_EQ(f.track().SliderPicture().size(), QSize(16, 84));
    QImage start = Frame(SuiTheme::ScrollBarTrackImage, 3, 1);
    QImage end = Frame(SuiTheme::ScrollBarTrackImage, 3, 3);
    RoundPicture3(start);
    RoundPicture3(end);
    const QImage shot = f.bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
    // Thumb at the channel's far end: 16 + 168 - 84 = 100; caps unscaled at both ends.
    for (int y = 0; y < start.height(); ++y)
        for (int x = 0; x < 16; ++x) {
            ASSERT_EQ(shot.pixel(x, 100 + y), start.pixel(x, y)) << x << "," << y;
            ASSERT_EQ(shot.pixel(x, 184 - end.height() + y), end.pixel(x, y)) << x << "," << y;
        }
    // Above the thumb the channel shows the scroll bar colour.
    EXPECT_EQ(QColor(shot.pixel(8, 60)), QColor(0xF5, 0xF5, 0xF5));
    f.bar->SetSliderVisible(false);
    EXPECT_EQ(QColor(f.bar->grab().toImage().pixel(8, 140)), QColor(0xF5, 0xF5, 0xF5));
}

TEST(ScrollBarThumb, LengthFollowsLineButtonOrPageSize)
{
    BarFixture f(suiVertical, 200);
    TsuiScrollBar& bar = *f.bar;
    bar.SetLineButton(5);
    EXPECT_EQ(bar.LineButton(), 16);
    EXPECT_EQ(f.track().SliderPicture().height(), 16);
    bar.SetLineButton(100);
    EXPECT_EQ(f.track().SliderPicture().height(), 100);
    bar.SetLineButton(169); // one more than the 168 between the arrows: ignored
    EXPECT_EQ(bar.LineButton(), 100);
    bar.SetLineButton(168);
    EXPECT_EQ(f.track().SliderPicture().height(), 168);
    bar.SetLineButton(0);
    EXPECT_EQ(f.track().SliderPicture().height(), 16);

    bar.SetPageSize(25);
    EXPECT_EQ(f.track().SliderPicture().height(), 42); // 168 * 25 / 100
    bar.SetPageSize(101);                              // above Max: refused
    EXPECT_EQ(bar.PageSize(), 25);
    bar.SetLargeChange(50); // page step only, the thumb stays
    EXPECT_EQ(bar.PageSize(), 50);
    EXPECT_EQ(f.track().SliderPicture().height(), 42);
    EXPECT_EQ(bar.LargeChange(), 50);
}

TEST(ScrollBarThumb, LengthRules)
{
    int lineButton = 0;
    EXPECT_EQ(SliderLength(lineButton, 9, 168), 16);
    EXPECT_EQ(SliderLength(lineButton, 10, 168), 16);
    EXPECT_EQ(SliderLength(lineButton, 100, 168), 168);
    EXPECT_EQ(SliderLength(lineButton, 50, 0), 0);
    EXPECT_EQ(SliderLength(lineButton, 50, -5), 0);
    lineButton = 3;
    EXPECT_EQ(SliderLength(lineButton, 50, 168), 16);
    EXPECT_EQ(lineButton, 16);
}

TEST(ScrollBarPosition, ClampsAndReportsEachRealChangeOnce)
{
    BarFixture f(suiHorizontal, 185);
    TsuiScrollBar& bar = *f.bar;
    QSignalSpy changes(&bar, &TsuiScrollBar::OnChange);
    bar.SetPosition(30);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(bar.LastChange(), 30);
    bar.SetPosition(30);
    EXPECT_EQ(changes.count(), 1);
    bar.SetPosition(500);
    EXPECT_EQ(bar.Position(), 100);
    EXPECT_EQ(bar.LastChange(), 70);
    bar.SetMax(40); // pulls Position in
    EXPECT_EQ(bar.Position(), 40);
    EXPECT_EQ(bar.LastChange(), -60);
    bar.SetMin(60); // above Max: stores Max
    EXPECT_EQ(bar.Min(), 40);
    bar.SetMax(10); // below Min: stores Min
    EXPECT_EQ(bar.Max(), 40);
    EXPECT_EQ(changes.count(), 3);
}

TEST(ScrollBarPosition, ThumbOffsetAndPointerPositions)
{
    TsuiScrollTrackMetrics m;
    m.Min = 0;
    m.Max = 100;
    m.Length = 168;
    m.ThumbLength = 16;
    m.Position = 50;
    EXPECT_EQ(SliderOffset(m), 76);
    m.Position = 99;
    EXPECT_EQ(SliderOffset(m), 150); // 99 * 152 / 100 truncated
    m.Min = m.Max = 7;
    EXPECT_EQ(SliderOffset(m), 0);

    // Halves round to even: 1 position over 2 pixels.
    m.Min = 0;
    m.Max = 1;
    m.Length = 18;
    EXPECT_EQ(PositionFromSliderPos(m, 1), 0);
    m.Max = 3;
    EXPECT_EQ(PositionFromSliderPos(m, 1), 2); // 1.5
    m.GrabOffset = 1;
    EXPECT_EQ(PositionFromSliderPos(m, 1), 0);
    EXPECT_EQ(PositionFromSliderPos(m, -5), -9); // not clamped here
    m.Length = m.ThumbLength;
    m.Min = 5;
    EXPECT_EQ(PositionFromSliderPos(m, 10), 0);
}

TEST(ScrollBarPaging, HorizontalStepsByPageSizeThenThreePagesPerTickUntilThePointer)
{
    BarFixture f(suiHorizontal, 185); // channel 153, thumb 15
    TsuiScrollBar& bar = *f.bar;
    bar.SetPageSize(5); // below 10: the thumb stays 10 %
    TsuiScrollTrackBar& track = f.track();
    const QPoint pointer(100, 8); // position round(100 * 100 / 138) = 72
    Press(track, pointer);
    EXPECT_EQ(bar.Position(), 5);
    ASSERT_NE(track.PageTimer(), nullptr);
    EXPECT_EQ(track.PageTimer()->interval(), 100);
    track.OnTimer();
    EXPECT_EQ(bar.Position(), 20);
    for (int i = 0; i < 3; ++i)
        track.OnTimer();
    EXPECT_EQ(bar.Position(), 65);
    track.OnTimer();
    EXPECT_EQ(bar.Position(), 72); // stops where the pointer is
    track.OnTimer();
    EXPECT_EQ(bar.Position(), 72);
    Release(track, pointer);
    EXPECT_EQ(track.PageTimer(), nullptr);

    // Back to the left of the thumb.
    Press(track, QPoint(10, 8));
    EXPECT_EQ(bar.Position(), 67);
    Move(track, QPoint(10, 30)); // below the channel: the paging ends
    EXPECT_EQ(track.PageTimer(), nullptr);
    Release(track, QPoint(10, 30));
}

TEST(ScrollBarPaging, VerticalRepeatsByOnePage)
{
    BarFixture f(suiVertical, 200);
    f.bar->SetPageSize(4);
    TsuiScrollTrackBar& track = f.track();
    Press(track, QPoint(8, 150));
    EXPECT_EQ(f.bar->Position(), 4);
    track.OnTimer();
    EXPECT_EQ(f.bar->Position(), 8);
    Release(track, QPoint(8, 150));
    // A right press neither pages nor starts the timer.
    Press(track, QPoint(8, 150), Qt::RightButton);
    EXPECT_EQ(f.bar->Position(), 8);
    EXPECT_EQ(track.PageTimer(), nullptr);
}

TEST(ScrollBarArrows, RepeatTicksStepAndAQuickClickDoesNothing)
{
    BarFixture f(suiVertical, 200);
    TsuiScrollBar& bar = *f.bar;
    bar.SetSmallChange(7);
    TsuiImageButton& inc = *bar.IncButton();
    TsuiImageButton& dec = *bar.DecButton();
    EXPECT_FALSE(inc.TabStop());
    EXPECT_EQ(inc.MouseContinuouslyDownInterval(), 100);

    Press(inc, QPoint(8, 8));
    Release(inc, QPoint(8, 8));
    EXPECT_EQ(bar.Position(), 0);

    Press(inc, QPoint(8, 8));
    ASSERT_NE(inc.RepeatTimer(), nullptr);
    EXPECT_EQ(inc.RepeatTimer()->interval(), 100);
    inc.RepeatTimerTimer();
    inc.RepeatTimerTimer();
    Release(inc, QPoint(8, 8));
    EXPECT_EQ(bar.Position(), 14);

    Press(dec, QPoint(8, 8));
    for (int i = 0; i < 3; ++i)
        dec.RepeatTimerTimer();
    Release(dec, QPoint(8, 8));
    EXPECT_EQ(bar.Position(), 0); // clamped at Min

    bar.SetSmallChange(100000);
    EXPECT_EQ(bar.SmallChange(), 32767);
}

TEST(ScrollBarDrag, ThumbFollowsThePointerFromItsGrabPoint)
{
    BarFixture f(suiVertical, 200); // channel 168, thumb 16, 152 pixels for 100 positions
    TsuiScrollBar& bar = *f.bar;
    TsuiScrollTrackBar& track = f.track();
    QSignalSpy changes(&bar, &TsuiScrollBar::OnChange);
    Press(track, QPoint(8, 5)); // 5 pixels into the thumb
    EXPECT_TRUE(track.Dragging());
    EXPECT_EQ(track.GrabOffset(), 5);
    EXPECT_EQ(track.PageTimer(), nullptr);
    EXPECT_EQ(bar.Position(), 0);

    Move(track, QPoint(8, 81)); // thumb start at 76: position 50
    EXPECT_EQ(bar.Position(), 50);
    EXPECT_EQ(SliderOffset(track.Metrics()), 76);
    EXPECT_EQ(bar.LastChange(), 50);
    Move(track, QPoint(8, 82)); // 77 px = 50.66 positions: 51, thumb snapped to its place
    EXPECT_EQ(bar.Position(), 51);
    EXPECT_EQ(SliderOffset(track.Metrics()), 77);
    Move(track, QPoint(8, 500)); // far below: clamped
    EXPECT_EQ(bar.Position(), 100);
    Move(track, QPoint(8, -50));
    EXPECT_EQ(bar.Position(), 0);
    EXPECT_EQ(changes.count(), 4);
    Release(track, QPoint(8, -50));
    EXPECT_FALSE(track.Dragging());
    EXPECT_EQ(track.GrabOffset(), 5); // kept after the drag
}
