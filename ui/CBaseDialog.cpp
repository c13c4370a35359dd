#include "ui/CBaseDialog.h"

#include "platform/Utf.h"
#include "ui/Accessibility.h"
#include "ui/CPngButton.h"
#include "ui/DarkStyle.h"
#include "ui/Language.h"
#include "ui/MaskRuns.h"
#include "ui/SkinCaptionView.h"
#include "ui/SkinLayout.h"
#include "ui/SkinPicture.h"
#include "ui/SkinScale.h"

#include <QChildEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <vector>

namespace tarvik::ui {

namespace {

Qt::WindowFlags flagsFor(CBaseDialog::Kind kind) {
    if (kind == CBaseDialog::Kind::MainWindow) {
        return Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint | Qt::WindowSystemMenuHint;
    }
    return Qt::Dialog | Qt::FramelessWindowHint;
}

std::optional<CBaseDialog::Outline> g_outlineOverride;

bool isWayland(const QString& platformName) {
    return platformName.startsWith(QLatin1String("wayland"), Qt::CaseInsensitive);
}

bool closesDialog(const QKeyEvent* e) {
    const auto mods = e->modifiers() & ~Qt::KeypadModifier;
    return mods == Qt::NoModifier &&
           (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Escape);
}

// Tells the window when a caption's owner shows, hides, moves or changes its enabled state.
class OwnerWatch : public QObject {
public:
    explicit OwnerWatch(std::function<void(QObject*)> changed) : changed_(std::move(changed)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
        case QEvent::Move:
        case QEvent::EnabledChange:
        case QEvent::ParentChange:
            changed_(watched);
            break;
        default:
            break;
        }
        return false;
    }

private:
    std::function<void(QObject*)> changed_;
};

} // namespace

CBaseDialog::CBaseDialog(int templateId, QWidget* parent, std::filesystem::path layoutFile,
                         std::filesystem::path pictureFolder, Kind kind)
    : QDialog(parent, flagsFor(kind)), templateId_(templateId), kind_(kind),
      outline_(g_outlineOverride.value_or(outlineFor(QGuiApplication::platformName()))),
      layoutFile_(std::move(layoutFile)), pictureFolder_(std::move(pictureFolder)) {
    installAccessibleControls();
    if (outline_ == Outline::Alpha) {
        // Before the native window exists: it needs an alpha channel from the start.
        setAttribute(Qt::WA_TranslucentBackground);
    } else {
        // The background picture covers the whole window: nothing is erased before painting.
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    setAttribute(Qt::WA_NoSystemBackground);
    if (kind != Kind::MainWindow) {
        setStyleSheet(darkStyleSheet()); // the main window's: from its first show
    }
    ownerWatch_ = std::make_unique<OwnerWatch>([this](QObject* owner) { ownerChanged(owner); });
    connect(&Language::instance(), &Language::changed, this, [this] { retext(); });
}

CBaseDialog::~CBaseDialog() {
    dropCaptionViews();
    releasePictures();
}

CBaseDialog::Outline CBaseDialog::outlineFor(const QString& platformName) {
    return isWayland(platformName) ? Outline::Alpha : Outline::Region;
}

void CBaseDialog::setOutlineOverride(std::optional<Outline> outline) {
    g_outlineOverride = outline;
}

bool CBaseDialog::programPlacesWindows() {
    return !isWayland(QGuiApplication::platformName());
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
    return index < captionViews_.size() ? captionViews_[index]->text() : QString();
}

SkinCaptionView* CBaseDialog::captionView(size_t index) const {
    return index < captionViews_.size() ? captionViews_[index] : nullptr;
}

QRegion CBaseDialog::regionFromMask(const QImage& mask) {
    if (mask.isNull()) {
        return QRegion();
    }
    const QImage rgb = mask.convertToFormat(QImage::Format_RGB32);
    const auto* pixels = reinterpret_cast<const uint32_t*>(rgb.constBits());
    const std::vector<MaskRun> runs =
        maskRuns(pixels, rgb.width(), rgb.height(), static_cast<size_t>(rgb.bytesPerLine()) / 4);
    // A row with the same runs as the row above makes that row's rectangles one taller. An outline is
    // mostly rows alike, and every paint of every control is clipped against this region: a few dozen
    // rectangles instead of one per row.
    std::vector<QRect> rects;
    size_t band = 0; // the first rectangle of the last row's band
    int bandBottom = -2;
    for (size_t i = 0; i < runs.size();) {
        const int y = runs[i].y;
        size_t end = i;
        while (end < runs.size() && runs[end].y == y) {
            ++end;
        }
        bool same = bandBottom == y - 1 && rects.size() - band == end - i;
        for (size_t k = 0; same && k < end - i; ++k) {
            same = rects[band + k].x() == runs[i + k].x && rects[band + k].width() == runs[i + k].w;
        }
        if (same) {
            for (size_t k = band; k < rects.size(); ++k) {
                rects[k].setHeight(rects[k].height() + 1);
            }
        } else {
            band = rects.size();
            for (size_t k = i; k < end; ++k) {
                rects.emplace_back(runs[k].x, y, runs[k].w, 1);
            }
        }
        bandBottom = y;
        i = end;
    }
    QRegion region;
    for (size_t at = 0; at < rects.size(); at += kRegionBatch) {
        QRegion part;
        part.setRects(rects.data() + at, static_cast<int>(std::min(kRegionBatch, rects.size() - at)));
        region += part;
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
        syncCaptions();
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
    layoutReleased_ = false;
    captions_ = readSkinCaptions(layout_);
    const std::filesystem::path main = pictureFolder_ / toUtf8(layout_.get(u"SCREEN", u"Main"));
    const std::filesystem::path mask = pictureFolder_ / toUtf8(layout_.get(u"SCREEN", u"Mask"));
    backgroundFile_ = main;
    maskFile_ = mask;
    // A window set up hidden (the resident main window, a dialog before its show) only measures its
    // background; the picture is decoded when the window shows, so a program that stays hidden never
    // loads the decoder.
    // The mask likewise: a hidden window needs no outline, and the outline is made when it shows.
    const std::optional<QSize> size = skinPictureSize(main);
    const bool visible = isVisible();
    background_ = visible && size ? loadSkinPixmap(main) : QPixmap();
    const QImage outline = visible ? readSkinPicture(mask) : QImage();
    if (!size || (visible ? outline.isNull() : !skinPictureSize(mask)) || (visible && background_.isNull())) {
        background_ = QPixmap();
        mask_ = QImage();
        dropCaptionViews(); // words on a window without its picture would float on nothing
        return;
    }
    mask_ = visible ? outlineOf(outline) : QImage();
    background_ = withOutline(background_);
    skinSize_ = *size;
    scale_ = -1; // forces the size and region below
    regionScale_ = -1;
    buildCaptionViews();
    setSkinScale(fittingScale());
}

const IniFile& CBaseDialog::layout() const {
    if (layoutReleased_) {
        layout_ = IniFile::load(layoutFile_);
        layoutReleased_ = false;
    }
    return layout_;
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

QPixmap CBaseDialog::withOutline(const QPixmap& picture) const {
    if (outline_ != Outline::Alpha || picture.isNull() || mask_.isNull()) {
        return picture;
    }
    QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // The mask is kept at the skin's size; a picture at twice the density takes it twice as large.
    const QImage inside = mask_.size() == image.size()
                              ? mask_
                              : mask_.scaled(image.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const bool mono = inside.format() == QImage::Format_Mono && inside.colorCount() == 2;
    const int insideBit = mono && qGray(inside.color(1)) < 128 ? 1 : 0;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const uchar* bits = inside.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            const bool in =
                mono ? ((bits[x >> 3] >> (7 - (x & 7))) & 1) == insideBit : qGray(inside.pixel(x, y)) < 128;
            if (!in) {
                line[x] = 0; // transparent, premultiplied
            }
        }
    }
    QPixmap out = QPixmap::fromImage(std::move(image));
    out.setDevicePixelRatio(picture.devicePixelRatio());
    return out;
}

void CBaseDialog::releaseBackground() {
    background_ = QPixmap();
    // The region made from the mask stays on the window; the mask itself is needed again only to draw
    // the background's outline or to fit another screen.
    if (!backgroundFile_.empty() && skinSize_.isValid()) {
        mask_ = QImage();
        // Read again when something asks for it: the file has every key's place, kept for nothing while
        // the window stays closed.
        layout_ = IniFile();
        layoutReleased_ = true;
    }
}

void CBaseDialog::reloadBackground() {
    if (backgroundFile_.empty()) {
        return;
    }
    if (mask_.isNull() && skinSize_.isValid()) {
        mask_ = outlineOf(readSkinPicture(maskFile_));
        if (regionScale_ != scale_) {
            applyRegion();
        }
    }
    if (background_.isNull()) {
        background_ = withOutline(loadSkinPixmap(backgroundFile_));
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
    if (scale == scale_ || !skinSize_.isValid()) {
        return;
    }
    scale_ = scale;
    setProperty("tarvikSkinScale", scale_);
    const QSize size = skinSize();
    const QSize shown(static_cast<int>(size.width() * scale + 0.5),
                      static_cast<int>(size.height() * scale + 0.5));
    setFixedSize(shown); // the top-left corner stays where it is
    applyRegion();
    // Every control placed from the layout follows.
    for (QWidget* child : findChildren<QWidget*>()) {
        SkinRect r;
        if (placedRect(*child, r)) {
            placeAt(*child, r);
        }
    }
    for (SkinCaptionView* v : captionViews_) {
        v->setScale(scale_);
    }
    syncCaptions();
    update();
}

void CBaseDialog::applyRegion() {
    if (mask_.isNull()) {
        return; // a hidden window without its mask; the region follows when the mask is read at the show
    }
    const QSize shown(static_cast<int>(skinSize_.width() * scale_ + 0.5),
                      static_cast<int>(skinSize_.height() * scale_ + 0.5));
    const QImage outline =
        scale_ == 1.0 ? mask_ : mask_.scaled(shown, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    setMask(regionFromMask(outline));
    regionScale_ = scale_;
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
    for (SkinCaptionView* v : captionViews_) {
        v->setText(text(v->caption().key));
    }
}

void CBaseDialog::retext() {
    reloadCaptionTexts();
}

void CBaseDialog::dropCaptionViews() {
    for (const QPointer<QWidget>& owner : captionOwners_) {
        if (owner) {
            owner->removeEventFilter(ownerWatch_.get());
            disconnect(owner, nullptr, ownerWatch_.get(), nullptr); // only the window's own watch
        }
    }
    captionOwners_.clear();
    for (SkinCaptionView* v : captionViews_) {
        delete v;
    }
    captionViews_.clear();
}

void CBaseDialog::buildCaptionViews() {
    dropCaptionViews();
    for (const SkinCaption& c : captions_) {
        auto* v = new SkinCaptionView(c, *this);
        v->setScale(scale_ > 0 ? scale_ : 1.0);
        v->hide();
        captionViews_.push_back(v);
        captionOwners_.emplace_back();
    }
    reloadCaptionTexts();
}

QWidget* CBaseDialog::findOwner(const std::string& key) const {
    const QString name = QString::fromStdString(key);
    for (QWidget* w : findChildren<QWidget*>(name)) {
        if (qobject_cast<SkinCaptionView*>(w) == nullptr) {
            return w;
        }
    }
    return nullptr;
}

void CBaseDialog::syncCaptions() {
    captionSyncPending_ = false;
    for (size_t i = 0; i < captionViews_.size(); ++i) {
        syncCaption(i);
    }
    // Above every control, also those added since.
    for (SkinCaptionView* v : captionViews_) {
        v->raise();
    }
}

void CBaseDialog::syncCaption(size_t index) {
    SkinCaptionView* view = captionViews_[index];
    const SkinCaption& c = view->caption();
    if (c.owner.empty()) {
        const QRect r = toWindow(c.rect);
        view->setGeometry(r);
        view->show();
        return;
    }
    QPointer<QWidget>& owner = captionOwners_[index];
    if (owner && !isAncestorOf(owner)) {
        owner->removeEventFilter(ownerWatch_.get()); // it went to another window
        owner = nullptr;
    }
    if (!owner) {
        owner = findOwner(c.owner);
        if (!owner) {
            view->hide();
            return;
        }
        owner->installEventFilter(ownerWatch_.get());
        // Through the watch, whose connections end with it, before the owners are destroyed.
        connect(owner, &QObject::destroyed, ownerWatch_.get(), [this] { scheduleCaptionSync(); });
    }
    if (!owner->isVisibleTo(this)) {
        view->hide();
        return;
    }
    const QPoint at = owner->mapTo(this, QPoint(0, 0));
    const SkinRect r = ownedCaptionRect(c, scale_ > 0 ? scale_ : 1.0, at.x(), at.y());
    view->setGeometry(r.x, r.y, r.w, r.h);
    view->setDimmed(!owner->isEnabledTo(this));
    view->show();
}

void CBaseDialog::scheduleCaptionSync() {
    if (captionSyncPending_ || captionViews_.empty()) {
        return;
    }
    captionSyncPending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (captionSyncPending_) {
                syncCaptions();
            }
        },
        Qt::QueuedConnection);
}

void CBaseDialog::ownerChanged(QObject* owner) {
    for (size_t i = 0; i < captionOwners_.size(); ++i) {
        if (captionOwners_[i] == owner) {
            syncCaption(i);
        }
    }
}

void CBaseDialog::childEvent(QChildEvent* event) {
    QDialog::childEvent(event);
    // A control added now may be the owner of a caption (its object name is set after it is created),
    // and it lies above the captions until they are raised again.
    if (event->added() && event->child()->isWidgetType()) {
        scheduleCaptionSync();
    }
}

void CBaseDialog::releasePictures() {
    background_ = QPixmap();
    mask_ = QImage();
    regionScale_ = -1; // the next skin may have another outline
    backgroundFile_.clear();
    maskFile_.clear();
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
}

void CBaseDialog::keyPressEvent(QKeyEvent* event) {
    // Neither closes a skinned window by itself: its OK and Cancel are its own buttons. Escape presses
    // the window's own Cancel, so that a keyboard user leaves the way a mouse user does.
    if (closesDialog(event)) {
        if (event->key() == Qt::Key_Escape && !event->isAutoRepeat()) {
            auto* cancel = findChild<CPngButton*>(QStringLiteral("CONTROL_CANCEL"));
            if (cancel != nullptr && cancel->isVisible() && cancel->isEnabled()) {
                cancel->animateClick();
            }
        }
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
