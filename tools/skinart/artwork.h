#pragma once
// The built-in style artwork: every picture's name, size and frame layout, and the
// painters that draw it.
#include <QImage>
#include <QString>
#include <vector>

namespace skinart {

// How the controls draw a picture, which decides what lies outside its shapes.
enum class Keying {
    SeeThrough, // drawn with magenta #FF00FF as the see-through colour
    Opaque      // drawn as it is: no magenta anywhere
};

struct ArtInfo
{
    QString name;  // resource name, also the file name without ".png"
    QString group; // style prefix, or "SHARED" for the style-independent pictures
    int width = 0, height = 0;
    int frames = 1; // equal-width frames side by side, read from the left
    Keying keying = Keying::Opaque;
};

struct Artwork
{
    ArtInfo info;
    QImage image; // Format_RGB32, info.width x info.height
};

// Every picture in a fixed order: the five styles' sets, then the shared ones.
const std::vector<ArtInfo>& catalogue();
// Paints every picture of the catalogue, in its order.
std::vector<Artwork> renderAll();
// Writes every picture as <dir>/<name>.png; false (with a message) on the first failure.
bool writeAll(const QString& dir, QString* error);

} // namespace skinart
