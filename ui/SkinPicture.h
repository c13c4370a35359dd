// Skin pictures at the screen's pixel density: beside every picture "name.ext" the skin may carry
// "name@2x.ext" drawn at twice the size, which screens with more than one device pixel per logical
// pixel get instead. Drawing code works in layout coordinates whichever was loaded.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QRectF>

#include <filesystem>
#include <optional>

class QPainter;

namespace tarvik::ui {

// a/b.jpg -> a/b@2x.jpg
std::filesystem::path doubleSizePath(const std::filesystem::path& picture);

// The device pixel ratio the skin is drawn for: the highest of the screens (1 without a display).
double skinPixelRatio();

// The picture for the ratio: above 1 the @2x file when it exists (marked as drawn at ratio 2), else the
// plain one. A null pixmap when neither loads.
QPixmap loadSkinPixmap(const std::filesystem::path& picture, double devicePixelRatio = skinPixelRatio());
QImage loadSkinImage(const std::filesystem::path& picture, double devicePixelRatio = skinPixelRatio());
// One picture file as it is, at any density.
QImage readSkinPicture(const std::filesystem::path& picture);
// The size in layout pixels of the picture loadSkinPixmap would load, read from its file's header
// without decoding it; nothing when neither file has a header to read.
std::optional<QSize> skinPictureSize(const std::filesystem::path& picture,
                                     double devicePixelRatio = skinPixelRatio());

// Draws the part of picture that covers source (in layout coordinates, i.e. the 1x picture's pixels)
// into target, whatever the picture's own pixel ratio.
void drawSkinPart(QPainter& painter, const QRectF& target, const QPixmap& picture, const QRectF& source);

} // namespace tarvik::ui
