#pragma once
// The five built-in looks as colours and shapes: one value of `Look` per style, read by the
// element painters so every picture of a style comes from the same palette.
#include "tools/skinart/pixelart.h"

#include <array>
#include <vector>

namespace skinart {

enum State { Normal = 0, Hover = 1, Pressed = 2 };

// Caption buttons in strip order: control box, help, maximise, restore, minimise, close.
enum TitleKind { ControlBox, Help, Maximise, Restore, Minimise, Close };

struct TitleButtonLook
{
    int shapeSize = 0;          // the face, centred in the frame
    double radius = 0;          // corner radius; < 0 for a round face
    std::array<QRgb, 6> base{}; // face colour per kind
    QRgb border = 0;            // outline; 0: darker face colour
    QRgb glyph = 0;
    QRgb glyphShadow = 0; // 0: none
    bool glyphOnlyWhenHot = false;
    bool seeThrough = false; // magenta around the face instead of the title band
    double highlight = 0.7;  // how far the upper half is lifted towards white
};

struct Look
{
    const char* prefix;
    // Colours of the theme table.
    QRgb formColor, controlColor, controlBorder, scrollBarColor, menuSelected;
    QRgb formBorder;
    int borderWidth;

    // Push button strip (three frames).
    int buttonW, buttonH;
    double buttonRadius;
    bool buttonSeeThrough;
    std::array<Skin, 3> button;

    // Small parts: scroll arrows, combo button, sliders (normal, hover, pressed).
    std::array<Skin, 3> part;
    double partRadius;
    QRgb arrow; // arrow glyphs on parts
    Skin thumb; // scroll bar thumb
    double thumbRadius;

    // Check boxes and radio buttons.
    Skin box, boxOn;
    QRgb tick;

    // Tabs: active and inactive faces and the base line under them.
    Skin tabActive, tabInactive;
    QRgb tabAccent; // 0: no accent line along the active tab's top
    bool tabOpens;  // the active tab runs into the page below it
    double tabRadius;
    Ramp tabLine; // rows below the border row of the base line

    // Title band: colour of each row of the title artwork; decoration of the left end.
    std::vector<QRgb> titleRows;
    int titleLeftW, titleClientW, titleRightW;
    int roundCorner;
    int titleButtonTop, titleButtonSize;
    TitleButtonLook titleButton;

    // Caption bar of side panels and its handle.
    std::vector<QRgb> barRows;
    Skin progress; // progress bar fill
    Skin groove;   // track bar groove
};

// The five looks in style order (MacOS, WinXP, DeepBlue, Protein, BlueGlass).
const std::vector<Look>& looks();

// A glossy face from one base colour, lighter under the pointer, darker when pressed.
Skin glassSkin(QRgb base, QRgb border, State state, double highlight = 0.7);
// A plain vertical gradient face with a light inner ring.
Skin plainSkin(QRgb top, QRgb bottom, QRgb border, QRgb inner = 0, double innerAmount = 0);

} // namespace skinart
