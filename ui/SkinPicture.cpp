#include "ui/SkinPicture.h"

#include <QGuiApplication>
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

std::filesystem::path doubleSizePath(const std::filesystem::path& picture) {
    std::filesystem::path twice = picture;
    twice.replace_filename(picture.stem().string() + "@2x" + picture.extension().string());
    return twice;
}

double skinPixelRatio() {
    return qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
}

QPixmap loadSkinPixmap(const std::filesystem::path& picture, double devicePixelRatio) {
    if (devicePixelRatio > 1.0) {
        const std::filesystem::path twice = doubleSizePath(picture);
        if (isFile(twice)) {
            QPixmap p = QPixmap::fromImage(QImage(qpath(twice)));
            if (!p.isNull()) {
                p.setDevicePixelRatio(2.0);
                return p;
            }
        }
    }
    // Not through QPixmap's own loading: it keeps every picture in the pixmap cache, and the skin's
    // whole-window pictures would stay in memory after their window has let them go.
    return QPixmap::fromImage(QImage(qpath(picture)));
}

QImage loadSkinImage(const std::filesystem::path& picture, double devicePixelRatio) {
    if (devicePixelRatio > 1.0) {
        const std::filesystem::path twice = doubleSizePath(picture);
        if (isFile(twice)) {
            QImage i(qpath(twice));
            if (!i.isNull()) {
                i.setDevicePixelRatio(2.0);
                return i;
            }
        }
    }
    return QImage(qpath(picture));
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
