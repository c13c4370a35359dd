#include "ui/SkinPicture.h"

#include "ui/PictureSize.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>

#include <system_error>

namespace tarvik::ui {

namespace {

QString qpath(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

bool isFile(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_regular_file(p, ec);
}

} // namespace

// Read as the format its name says first: a reader left to guess asks every image plugin Qt has, loading
// each one and its decoder library into the process. A file whose name does not say what it is still
// loads by its contents.
QImage readSkinPicture(const std::filesystem::path& p) {
    const std::string suffix = p.extension().string();
    if (suffix.size() > 1) {
        QImageReader named(qpath(p), QByteArray(suffix.c_str() + 1).toLower());
        named.setAutoDetectImageFormat(false);
        if (QImage image = named.read(); !image.isNull()) {
            return image;
        }
    }
    return isFile(p) ? QImage(qpath(p)) : QImage();
}

std::filesystem::path doubleSizePath(const std::filesystem::path& picture) {
    std::filesystem::path twice = picture;
    twice.replace_filename(picture.stem().string() + "@2x" + picture.extension().string());
    return twice;
}

double skinPixelRatio() {
    return qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
}

QPixmap loadSkinPixmap(const std::filesystem::path& picture, double devicePixelRatio) {
    // Not through QPixmap's own loading: it keeps every picture in the pixmap cache, and the skin's
    // whole-window pictures would stay in memory after their window has let them go.
    return QPixmap::fromImage(loadSkinImage(picture, devicePixelRatio));
}

QImage loadSkinImage(const std::filesystem::path& picture, double devicePixelRatio) {
    if (devicePixelRatio > 1.0) {
        const std::filesystem::path twice = doubleSizePath(picture);
        if (isFile(twice)) {
            QImage i = readSkinPicture(twice);
            if (!i.isNull()) {
                i.setDevicePixelRatio(2.0);
                return i;
            }
        }
    }
    return readSkinPicture(picture);
}

std::optional<QSize> skinPictureSize(const std::filesystem::path& picture, double devicePixelRatio) {
    if (devicePixelRatio > 1.0) {
        if (const std::optional<PixelSize> twice = pictureFileSize(doubleSizePath(picture))) {
            return QSize((twice->width + 1) / 2, (twice->height + 1) / 2);
        }
    }
    if (const std::optional<PixelSize> plain = pictureFileSize(picture)) {
        return QSize(plain->width, plain->height);
    }
    return std::nullopt;
}

void drawSkinPart(QPainter& painter, const QRectF& target, const QPixmap& picture, const QRectF& source) {
    if (picture.isNull()) {
        return;
    }
    const double r = picture.devicePixelRatio();
    const QRectF pixels(source.x() * r, source.y() * r, source.width() * r, source.height() * r);
    painter.drawPixmap(target, picture, pixels);
}

} // namespace tarvik::ui
