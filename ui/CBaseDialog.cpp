#include "ui/CBaseDialog.h"

#include "platform/Utf.h"
#include "ui/MaskRuns.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include <vector>

namespace tarvik::ui {

namespace {

QString toQString(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

} // namespace

CBaseDialog::CBaseDialog(int templateId, QWidget* parent, std::filesystem::path layoutFile,
                         std::filesystem::path pictureFolder)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), templateId_(templateId),
      layoutFile_(std::move(layoutFile)), pictureFolder_(std::move(pictureFolder)) {
    // The background picture covers the whole window: nothing is erased before painting.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

CBaseDialog::~CBaseDialog() {
    releasePictures();
}

QRegion CBaseDialog::regionFromMask(const QImage& mask) {
    if (mask.isNull()) {
        return QRegion();
    }
    const QImage rgb = mask.convertToFormat(QImage::Format_RGB32);
    const auto* pixels = reinterpret_cast<const uint32_t*>(rgb.constBits());
    const std::vector<MaskRun> runs =
        maskRuns(pixels, rgb.width(), rgb.height(), static_cast<size_t>(rgb.bytesPerLine()) / 4);
    QRegion region;
    std::vector<QRect> batch;
    batch.reserve(kRegionBatch);
    auto flush = [&] {
        QRegion part;
        part.setRects(batch.data(), static_cast<int>(batch.size()));
        region += part;
        batch.clear();
    };
    for (const MaskRun& r : runs) {
        batch.emplace_back(r.x, r.y, r.w, 1);
        if (batch.size() == kRegionBatch) {
            flush();
        }
    }
    if (!batch.empty()) {
        flush();
    }
    return region;
}

void CBaseDialog::setVisible(bool visible) {
    if (visible && !isVisible() && !initialising_) {
        initialising_ = true;
        onInitDialog();
        initialising_ = false;
    }
    QDialog::setVisible(visible);
}

void CBaseDialog::onInitDialog() {
    loadSkin();
}

void CBaseDialog::loadSkin() {
    layout_ = IniFile::load(layoutFile_);
    const std::filesystem::path main = pictureFolder_ / toUtf8(layout_.get(u"SCREEN", u"Main"));
    const std::filesystem::path mask = pictureFolder_ / toUtf8(layout_.get(u"SCREEN", u"Mask"));
    background_ = QPixmap(toQString(main));
    mask_ = QImage(toQString(mask));
    if (background_.isNull() || mask_.isNull()) {
        return;
    }
    const QPoint corner = pos();
    setFixedSize(background_.size());
    move(corner);
    setMask(regionFromMask(mask_));
}

void CBaseDialog::releasePictures() {
    background_ = QPixmap();
    mask_ = QImage();
}

void CBaseDialog::accept() {
    releasePictures();
    QDialog::accept();
}

void CBaseDialog::paintEvent(QPaintEvent*) {
    if (background_.isNull()) {
        return;
    }
    QPainter p(this);
    p.drawPixmap(0, 0, background_);
}

void CBaseDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    // As if the caption had been grabbed: the window system moves the window where it can.
    if (QWindow* w = window()->windowHandle(); w != nullptr && w->startSystemMove()) {
        return;
    }
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - window()->frameGeometry().topLeft();
}

void CBaseDialog::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        window()->move(event->globalPosition().toPoint() - dragOffset_);
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void CBaseDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && dragging_) {
        dragging_ = false;
        return;
    }
    QDialog::mouseReleaseEvent(event);
}

} // namespace tarvik::ui
