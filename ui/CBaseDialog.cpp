#include "ui/CBaseDialog.h"

#include "platform/Utf.h"
#include "ui/DarkStyle.h"
#include "ui/Language.h"
#include "ui/MaskRuns.h"
#include "ui/SkinLayout.h"
#include "ui/SkinPicture.h"
#include "ui/SkinScale.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <vector>

namespace tarvik::ui {

namespace {

Qt::WindowFlags flagsFor(CBaseDialog::Kind kind) {
    if (kind == CBaseDialog::Kind::MainWindow) {
        return Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint | Qt::WindowSystemMenuHint;
    }
    return Qt::Dialog | Qt::FramelessWindowHint;
}

bool closesDialog(const QKeyEvent* e) {
    const auto mods = e->modifiers() & ~Qt::KeypadModifier;
    return mods == Qt::NoModifier &&
           (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Escape);
}

} // namespace

CBaseDialog::CBaseDialog(int templateId, QWidget* parent, std::filesystem::path layoutFile,
                         std::filesystem::path pictureFolder, Kind kind)
    : QDialog(parent, flagsFor(kind)), templateId_(templateId), kind_(kind),
      layoutFile_(std::move(layoutFile)), pictureFolder_(std::move(pictureFolder)) {
    // The background picture covers the whole window: nothing is erased before painting.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setStyleSheet(darkStyleSheet());
    connect(&Language::instance(), &Language::changed, this, [this] { retext(); });
}

CBaseDialog::~CBaseDialog() {
    releasePictures();
}

double CBaseDialog::skinScaleOf(const QWidget& widget) {
    for (const QWidget* w = &widget; w != nullptr; w = w->parentWidget()) {
        if (const auto* d = qobject_cast<const CBaseDialog*>(w)) {
            return d->skinScale();
        }
    }
    return 1.0;
}

QRect CBaseDialog::toWindow(const SkinRect& r) const {
    const SkinRect s = scaleRect(r, scale_);
    return QRect(s.x, s.y, s.w, s.h);
}

QString CBaseDialog::captionText(size_t index) const {
    return index < captionTexts_.size() ? captionTexts_[index] : QString();
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

void CBaseDialog::initialise() {
    if (kind_ == Kind::MainWindow && initialised_) {
        return;
    }
    runInitialisation();
    initialisedForNextShow_ = true;
}

void CBaseDialog::runInitialisation() {
    if (initialising_) {
        return;
    }
    initialising_ = true;
    onInitDialog();
    initialising_ = false;
    initialised_ = true;
}

void CBaseDialog::setVisible(bool visible) {
    if (visible && !isVisible() && !initialising_) {
        const bool fresh = initialisedForNextShow_;
        initialisedForNextShow_ = false;
        if (kind_ == Kind::MainWindow ? !initialised_ : !fresh) {
            runInitialisation();
        }
        reloadBackground();
        if (skinSize_.isValid()) {
            if (const double fit = fittingScale(); fit != scale_) {
                setSkinScale(fit); // the window may be shown on another screen than last time
            }
        }
        onShowDialog();
        QDialog::setVisible(true);
        keepOnScreen();
        return;
    }
    QDialog::setVisible(visible);
}

void CBaseDialog::onInitDialog() {
    loadSkin();
}

void CBaseDialog::loadSkin() {
    layout_ = IniFile::load(layoutFile_);
    captions_ = readSkinCaptions(layout_);
    reloadCaptionTexts();
    const std::filesystem::path main = pictureFolder_ / toUtf8(layout_.get(u"SCREEN", u"Main"));
    const std::filesystem::path mask = pictureFolder_ / toUtf8(layout_.get(u"SCREEN", u"Mask"));
    backgroundFile_ = main;
    background_ = loadSkinPixmap(main);
    const QImage outline(QString::fromStdString(mask.string()));
    if (background_.isNull() || outline.isNull()) {
        mask_ = outline;
        return;
    }
    mask_ = outlineOf(outline);
    const double r = background_.devicePixelRatio();
    skinSize_ = QSize(static_cast<int>(background_.width() / r + 0.5),
                      static_cast<int>(background_.height() / r + 0.5));
    scale_ = -1; // forces the size and region below
    setSkinScale(fittingScale());
}

QSize CBaseDialog::skinSize() const {
    return skinSize_;
}

QImage CBaseDialog::outlineOf(const QImage& mask) {
    // One bit a pixel: 0 pure white (outside), 1 anything else. A mask as big as the window costs an
    // eighth of a byte a pixel instead of four while the window lives.
    const QImage rgb = mask.convertToFormat(QImage::Format_RGB32);
    QImage out(rgb.size(), QImage::Format_Mono);
    out.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    out.fill(0);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            if ((line[x] & 0xFFFFFF) != 0xFFFFFF) {
                out.setPixel(x, y, 1);
            }
        }
    }
    return out;
}

void CBaseDialog::releaseBackground() {
    background_ = QPixmap();
}

void CBaseDialog::reloadBackground() {
    if (background_.isNull() && !backgroundFile_.empty()) {
        background_ = loadSkinPixmap(backgroundFile_);
    }
}

double CBaseDialog::fittingScale() const {
    const QScreen* s = screen();
    if (s == nullptr || !skinSize_.isValid()) {
        return 1.0;
    }
    const QSize area = s->availableGeometry().size();
    const QSize size = skinSize();
    return fitScale(size.width(), size.height(), area.width(), area.height());
}

void CBaseDialog::setSkinScale(double scale) {
    if (scale == scale_ || !skinSize_.isValid() || mask_.isNull()) {
        return;
    }
    scale_ = scale;
    setProperty("tarvikSkinScale", scale_);
    const QSize size = skinSize();
    const QSize shown(static_cast<int>(size.width() * scale + 0.5),
                      static_cast<int>(size.height() * scale + 0.5));
    setFixedSize(shown); // the top-left corner stays where it is
    const QImage outline =
        scale == 1.0 ? mask_ : mask_.scaled(shown, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    setMask(regionFromMask(outline));
    // Every control placed from the layout follows.
    for (QWidget* child : findChildren<QWidget*>()) {
        SkinRect r;
        if (placedRect(*child, r)) {
            placeAt(*child, r);
        }
    }
    update();
}

void CBaseDialog::keepOnScreen() {
    const QScreen* s = screen();
    if (s == nullptr || parentWidget() != nullptr) {
        return;
    }
    const QRect area = s->availableGeometry();
    if (!testAttribute(Qt::WA_Moved)) {
        // Nobody placed the window: the middle of the screen, not its corner.
        move(area.center() - QPoint(width() / 2, height() / 2));
        return;
    }
    const QRect frame = frameGeometry();
    QPoint p = frame.topLeft();
    p.setX(std::clamp(p.x(), area.left(), std::max(area.left(), area.right() - frame.width() + 1)));
    p.setY(std::clamp(p.y(), area.top(), std::max(area.top(), area.bottom() - frame.height() + 1)));
    if (p != frame.topLeft()) {
        move(p);
    }
}

void CBaseDialog::reloadCaptionTexts() {
    captionTexts_.clear();
    for (const SkinCaption& c : captions_) {
        captionTexts_.push_back(text(c.key));
    }
}

void CBaseDialog::retext() {
    reloadCaptionTexts();
    update();
}

void CBaseDialog::releasePictures() {
    background_ = QPixmap();
    mask_ = QImage();
    backgroundFile_.clear();
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
    if (scale_ != 1.0 || background_.devicePixelRatio() != 1.0) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
    }
    const QSize size = skinSize();
    drawSkinPart(p, QRectF(rect()), background_, QRectF(0, 0, size.width(), size.height()));
    paintCaptions(p);
}

void CBaseDialog::paintCaptions(QPainter& p) {
    p.save();
    p.setRenderHint(QPainter::TextAntialiasing);
    for (size_t i = 0; i < captions_.size(); ++i) {
        const SkinCaption& c = captions_[i];
        const QString& words = captionTexts_[i];
        if (words.trimmed().isEmpty()) {
            continue;
        }
        const QRect box = toWindow(c.rect);
        const bool bold = c.style != SkinCaption::Style::Label;
        QFont font = skinFont(c.pixelSize * scale_, bold);
        if (c.style == SkinCaption::Style::Caption) {
            font.setLetterSpacing(QFont::PercentageSpacing, 108);
        }
        // Longer translations shrink a little before they are cut.
        const double minimum = font.pixelSize() * 0.75;
        while (QFontMetrics(font).horizontalAdvance(words) > box.width() && font.pixelSize() > minimum) {
            font.setPixelSize(font.pixelSize() - 1);
        }
        p.setFont(font);
        p.setPen(c.style == SkinCaption::Style::Title     ? colour::kText
                 : c.style == SkinCaption::Style::Caption ? colour::kCaption
                                                          : colour::kLabel);
        const Qt::Alignment align = c.align == SkinCaption::Align::Center  ? Qt::AlignHCenter
                                    : c.align == SkinCaption::Align::Right ? Qt::AlignRight
                                                                           : Qt::AlignLeft;
        const QString shown = QFontMetrics(font).elidedText(words, Qt::ElideRight, box.width());
        p.drawText(box, static_cast<int>(align | Qt::AlignVCenter) | Qt::TextSingleLine, shown);
    }
    p.restore();
}

void CBaseDialog::keyPressEvent(QKeyEvent* event) {
    // Neither closes a skinned window: its OK and Cancel are its own buttons.
    if (closesDialog(event)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CBaseDialog::keyReleaseEvent(QKeyEvent* event) {
    if (closesDialog(event)) {
        event->accept();
        return;
    }
    QDialog::keyReleaseEvent(event);
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
