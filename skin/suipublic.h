#pragma once
// Drawing operations shared by the skinned controls: nine- and three-piece drawing of style
// artwork, tiling, gradients, rotations, borders, the parent's look behind a see-through
// control, text shortening, and small geometry helpers. All are stateless.
#include "framework/tcolor.h"
#include "framework/trect.h"
#include "suithemes.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class QPainter;
class QWidget;

// The see-through colour of the artwork when a caller names none.
constexpr TColor SuiTransparentColor = clFuchsia; // #FF00FF

// Whether Component publishes a property of that name.
bool IsHasProperty(const QObject* Component, const char* Name);
// Gives each direct child control that publishes FileTheme and UIStyle the pair, theme first,
// through the published properties so the child's own setters run.
void ContainerApplyUIStyle(QWidget* Container, TsuiUIStyle UIStyle, TsuiFileTheme* FileTheme);

// Draws Source's rectangle into Dest, stretched when the sizes differ (nearest pixel). With a
// Key, pixels of that colour are not drawn. Empty or out-of-image pieces draw nothing.
void DrawKeyed(QPainter& Canvas, const QImage& Source, TRect SourceRect, TRect DestRect,
               std::optional<TColor> Key);

// Cuts frame Index (from 1) of Count equal frames out of a strip; the last frame is the
// rightmost columns. Returns false and leaves Dest untouched for an impossible Count or Index.
bool SpitBitmap(const QImage& Source, QImage& Dest, int Count, int Index);

// One piece of a nine-piece drawing: what is taken from the artwork and where it goes.
struct TSpitPiece
{
    TRect Source;
    TRect Dest;
    bool Masked; // drawn with the see-through colour
    bool operator==(const TSpitPiece&) const = default;
};

// The pieces of SpitDraw in drawing order: corners TL, BL, left edge, TR, BR, right edge, top
// edge, centre, bottom edge. Pieces with nothing to draw are left out.
std::vector<TSpitPiece> SpitDrawPieces(int BitmapWidth, int BitmapHeight, TRect Rect,
                                       bool Transparent);
// Draws Bitmap over Rect: corners at natural size, edges and centre stretched.
void SpitDraw(const QImage& Bitmap, QPainter& Canvas, TRect Rect, bool Transparent);

// Three frames side by side (left end, middle, right end): ends unscaled, middle stretched over
// FillColor. The see-through colour is the corner pixel when UseCornerColor, else magenta.
void SpitDrawHorizontal(const QImage& Bitmap, QPainter& Canvas, TRect Rect, bool UseCornerColor,
                        TColor FillColor, bool CornerAtTop);
// Three frames side by side, keyed with TransColor when Transparent; the middle is stretched in
// width only.
void SpitDrawHorizontal2(const QImage& Bitmap, QPainter& Canvas, TRect Rect, bool Transparent,
                         TColor TransColor);

// Tiles Picture from the canvas origin over Rect's size plus one tile.
void TileDraw(QPainter& Canvas, const QImage& Picture, TRect Rect);
// Stretches the whole bitmap into Rect with smoothing.
void ResizeImage(const QImage& Bitmap, QPainter& Canvas, TRect Rect);

// Rows from FromColor (top) to ToColor (bottom).
void DrawHorizontalGradient(QPainter& Canvas, TRect Rect, TColor FromColor, TColor ToColor);
// Columns from FromColor (left) to ToColor (right).
void DrawVerticalGradient(QPainter& Canvas, TRect Rect, TColor FromColor, TColor ToColor);

// A quarter turn anticlockwise, in place: (x, y) goes to (y, Width - 1 - x).
void RoundPicture(QImage& Bitmap);
// A half turn, in place: (x, y) goes to (Width - 1 - x, Height - 1 - y).
void RoundPicture2(QImage& Bitmap);
// A quarter turn clockwise, in place: (x, y) goes to (Height - 1 - y, x).
void RoundPicture3(QImage& Bitmap);

// A one-pixel frame just inside Rect, exclusive Right and Bottom.
void FrameRect(QPainter& Canvas, TRect Rect, TColor Color);
// The one-pixel border around a whole control (Rect is the control at (0, 0)) and, with
// DrawInner, a second one just inside it.
void DrawControlBorder(QPainter& Canvas, TRect Rect, TColor BorderColor, TColor InnerColor,
                       bool DrawInner);
// The same around Control's own rectangle.
void DrawControlBorder(QPainter& Canvas, const QWidget& Control, TColor BorderColor,
                       TColor InnerColor, bool DrawInner);

// Paints Control's parent (itself only, not its other children) into Canvas as it shows behind
// Control, so a see-through control can paint its face over it. No parent: nothing drawn.
void DoTrans(QPainter& Canvas, const QWidget& Control);

// Sets the bitmap to 32-bit opaque and replaces every FromColor pixel by ToColor.
void ScanColor(QImage& Bitmap, TColor FromColor, TColor ToColor);

// Text unchanged when it fits MaxWidth, else the shortest head plus "..." that reaches MaxWidth.
// Characters are never cut in half.
QString FormatStringWithWidth(const QFontMetrics& Metrics, const QString& Text, int MaxWidth);
QString FormatStringWithWidth(const QPainter& Canvas, const QString& Text, int MaxWidth);

// Pixels Text needs in Font to show whole: its advance or its ink, whichever reaches further,
// with any ink left of the start counted too.
int TextExtent(const QFont& Font, const QString& Text);
// Font, or the same face a pixel smaller at a time (down to MinPixelSize), until every one of
// Texts shows whole in Width pixels; the smallest tried when none does.
QFont FontThatFits(const QFont& Font, const QStringList& Texts, int Width, int MinPixelSize = 8);

// True when the point lies in Rect, the right and bottom edges included.
bool InRect(int X, int Y, TRect Rect);
bool InRect(QPoint Point, TRect Rect);

// Moves Control to Point.
void PlaceControl(QWidget& Control, QPoint Point);
// Moves Control to Rect's corner, then gives it Rect's size.
void PlaceControl(QWidget& Control, TRect Rect);

// The available desktop area of the screen showing Form, else of the primary screen.
TRect GetWorkAreaRect(const QWidget* Form = nullptr);

// Whether Form should paint as focused: the main form while the application is active, any
// other form while it is the active window.
bool FormHasFocus(const QWidget* Form, const QWidget* MainForm = nullptr);
