#include "lighting/KeyLightLayer.h"

#include "lighting/LightBlend.h"
#include "ui/CPngButton.h"

#include <QBackingStore>
#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <tuple>

namespace tarvik::lighting {

namespace {

// base + light, channel by channel, held at 255 (addChannel of LightBlend.h): sixteen channels at once.
using Channels = uint8_t __attribute__((vector_size(16)));

inline Channels addChannels(Channels base, Channels light) {
    const Channels sum = base + light;
    // Where a channel wrapped around, the comparison gives all ones: 255.
    return sum | reinterpret_cast<Channels>(sum < base);
}

// The same for the four channels of one pixel.
inline uint32_t addPixel(uint32_t base, uint32_t light) {
    const uint32_t low = (base & 0x7F7F7F7Fu) + (light & 0x7F7F7F7Fu);
    const uint32_t top = (base ^ light) & 0x80808080u;
    const uint32_t carry = ((base & light) | (low & top)) & 0x80808080u;
    return (low ^ top) | ((carry >> 7) * 0xFFu);
}

// dst[i] = src[i] + light for n pixels of four channels.
void addLight(uint32_t* dst, const uint32_t* src, int n, uint32_t light) {
    Channels add;
    for (int i = 0; i < 4; ++i) {
        std::memcpy(reinterpret_cast<char*>(&add) + i * 4, &light, 4);
    }
    int x = 0;
    for (; x + 4 <= n; x += 4) {
        Channels v;
        std::memcpy(&v, src + x, sizeof v);
        v = addChannels(v, add);
        std::memcpy(dst + x, &v, sizeof v);
    }
    for (; x < n; ++x) {
        dst[x] = addPixel(src[x], light);
    }
}

bool isPixelFormat(QImage::Format f) {
    return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32_Premultiplied;
}

} // namespace

KeyLightLayer::KeyLightLayer(QWidget& parent) : QWidget(&parent) {
    setObjectName(QStringLiteral("KEY_LIGHT_LAYER"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void KeyLightLayer::setButtons(std::span<ui::CPngButton* const> buttons) {
    for (auto& [index, b] : buttons_) {
        if (b) {
            b->removeEventFilter(this);
        }
    }
    buttons_.clear();
    for (size_t i = 0; i < buttons.size() && i < static_cast<size_t>(kLitButtonCount); ++i) {
        if (ui::CPngButton* b = buttons[i]; b != nullptr && b->parentWidget() == parentWidget()) {
            buttons_.emplace_back(static_cast<int>(i), b);
            b->installEventFilter(this);
        }
    }
    relayoutPending_ = true;
    relayout();
}

bool KeyLightLayer::covers(int button) const {
    return button >= 0 && button < kLitButtonCount && isCovered_[static_cast<size_t>(button)];
}

bool KeyLightLayer::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ParentChange:
        relayoutPending_ = true;
        break;
    default:
        break;
    }
    return false;
}

void KeyLightLayer::relayout() {
    relayoutPending_ = false;
    covered_.clear();
    isCovered_.fill(false);
    QRect bounds;
    runs_.clear();
    if (devicePixelRatioF() != 1.0) {
        // The composed picture is one pixel per pixel; scaled up it would blur the keys.
        buffer_ = QImage();
        return;
    }
    for (const auto& [index, b] : buttons_) {
        // Only a button whose every picture covers its face can be painted without what lies under it.
        if (b && b->parentWidget() == parentWidget() && !b->isHidden() && b->picturesCoverFace()) {
            covered_.push_back(Covered{b.data(), index, 0, 0, {}, {}, false, {}});
            isCovered_[static_cast<size_t>(index)] = true;
            bounds |= b->geometry();
        }
    }
    if (covered_.empty()) {
        buffer_ = QImage();
        return;
    }

    // Runs: buttons of one height on one line, joined where nothing but the window's background lies
    // between them. Any other widget there must stay visible, so it breaks the run.
    std::vector<QRect> others;
    for (QObject* o : parentWidget()->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (w == nullptr || w == this || w->isWindow() || w->isHidden()) {
            continue;
        }
        const bool covered =
            std::any_of(covered_.begin(), covered_.end(), [w](const Covered& c) { return c.button == w; });
        if (!covered && w->geometry().intersects(bounds)) {
            others.push_back(w->geometry());
        }
    }
    std::vector<QRect> faces;
    for (const Covered& c : covered_) {
        faces.push_back(c.button->geometry());
    }
    std::sort(faces.begin(), faces.end(), [](const QRect& a, const QRect& b) {
        return std::tuple(a.top(), a.height(), a.left()) < std::tuple(b.top(), b.height(), b.left());
    });
    auto free = [&](const QRect& gap) {
        auto hits = [&gap](const QRect& r) { return r.intersects(gap); };
        return std::none_of(others.begin(), others.end(), hits) &&
               std::none_of(faces.begin(), faces.end(), hits);
    };
    for (const QRect& f : faces) {
        if (!runs_.empty()) {
            QRect& run = runs_.back();
            if (run.top() == f.top() && run.height() == f.height() && f.left() > run.right()) {
                const QRect gap(QPoint(run.right() + 1, f.top()), QPoint(f.left() - 1, f.bottom()));
                if (gap.isEmpty() || free(gap)) {
                    run.setRight(f.right());
                    continue;
                }
            }
        }
        runs_.push_back(f);
    }
    for (Covered& c : covered_) {
        const QRect face = c.button->geometry();
        const auto holder =
            std::find_if(runs_.begin(), runs_.end(), [&face](const QRect& r) { return r.contains(face); });
        c.run = static_cast<size_t>(holder - runs_.begin());
    }
    QRegion area;
    for (QRect& r : runs_) {
        area += r;
        r.translate(-bounds.topLeft());
    }
    setGeometry(bounds);
    setMask(area.translated(-bounds.topLeft()));

    // Just above the topmost button it covers: whatever lies over the buttons stays over them.
    const QObjectList& siblings = parentWidget()->children();
    qsizetype top = -1;
    for (const Covered& c : covered_) {
        top = std::max(top, siblings.indexOf(static_cast<QObject*>(c.button.data())));
    }
    bool stacked = false;
    for (qsizetype i = top + 1; i < siblings.size() && !stacked; ++i) {
        if (auto* w = qobject_cast<QWidget*>(siblings[i]); w != nullptr && w != this && !w->isWindow()) {
            stackUnder(w);
            stacked = true;
        }
    }
    if (!stacked) {
        raise();
    }

    // The window's own painting under the runs, once: the background between the buttons. The picture's
    // format is the window's, so copying it to the window is a plain copy.
    QImage::Format format = QImage::Format_RGB32;
    if (QBackingStore* store = window()->backingStore()) {
        if (auto* image = dynamic_cast<QImage*>(store->paintDevice());
            image != nullptr && isPixelFormat(image->format())) {
            format = image->format();
        }
    }
    buffer_ = QImage(bounds.size(), format);
    buffer_.fill(Qt::black);
    QPainter p(&buffer_);
    parentWidget()->render(&p, QPoint(), QRegion(bounds), QWidget::DrawWindowBackground);
}

void KeyLightLayer::showFrame(const Lights& lights) {
    if (relayoutPending_) {
        relayout();
    }
    // Only the runs that hold a changed button go to the window.
    std::vector<bool> changed(runs_.size(), false);
    for (Covered& c : covered_) {
        if (!c.button) {
            // Gone since the last layout: the next frame lays out again.
            relayoutPending_ = true;
            continue;
        }
        if (compose(c, lights[static_cast<size_t>(c.index)])) {
            changed[c.run] = true;
        }
    }
    QRegion dirty;
    for (size_t i = 0; i < runs_.size(); ++i) {
        if (changed[i]) {
            dirty += runs_[i];
        }
    }
    if (!dirty.isEmpty()) {
        update(dirty);
    }
}

bool KeyLightLayer::compose(Covered& c, const std::optional<Rgb>& light) {
    ui::CPngButton& b = *c.button;
    const QRect at = b.geometry().translated(-pos());
    QPoint origin;
    const QPixmap* picture = b.plainFace(origin);
    if (picture != nullptr &&
        (picture->cacheKey() != c.faceKey || origin != c.faceOrigin || c.face.size() != at.size())) {
        c.face = picture->toImage().copy(QRect(origin, at.size()));
        c.faceKey = picture->cacheKey();
        c.faceOrigin = origin;
        c.composed = false;
    }
    if (picture == nullptr || c.face.format() != QImage::Format_RGB32 ||
        !QRect(QPoint(), buffer_.size()).contains(at)) {
        // A face with more than a picture: the button draws itself, its light included.
        QPainter p(&buffer_);
        p.translate(at.topLeft());
        p.setClipRect(QRect(QPoint(), at.size()));
        b.paintFace(p);
        c.composed = false;
        return true;
    }
    if (c.composed && c.light == light) {
        return false;
    }
    c.composed = true;
    c.light = light;
    // The light of the after-paint callback, pixel for pixel: added to the face one pixel in from the
    // edge, leaving out a square at each corner.
    const int w = at.width();
    const int h = at.height();
    const int corner = std::min(3, std::min(w - 2, h - 2) / 4);
    uint32_t add = 0;
    if (light) {
        const Rgb o = lightOverlay(*light);
        add = (uint32_t{o.r} << 16) | (uint32_t{o.g} << 8) | uint32_t{o.b};
    }
    const uchar* faceBits = c.face.constBits();
    const qsizetype faceStride = c.face.bytesPerLine();
    uchar* bufferBits = buffer_.bits();
    const qsizetype bufferStride = buffer_.bytesPerLine();
    for (int y = 0; y < h; ++y) {
        const auto* src = reinterpret_cast<const uint32_t*>(faceBits + y * faceStride);
        auto* dst = reinterpret_cast<uint32_t*>(bufferBits + (at.y() + y) * bufferStride) + at.x();
        if (add == 0 || y < 1 || y > h - 2 || w < 3) {
            std::memcpy(dst, src, static_cast<size_t>(w) * 4);
            continue;
        }
        const int inset = (y < 1 + corner || y > h - 2 - corner) ? corner : 0;
        const int from = 1 + inset;
        const int to = w - 1 - inset;
        std::memcpy(dst, src, static_cast<size_t>(from) * 4);
        addLight(dst + from, src + from, to - from, add);
        std::memcpy(dst + to, src + to, static_cast<size_t>(w - to) * 4);
    }
    return true;
}

void KeyLightLayer::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRect dirty = event->rect();
    for (const QRect& run : runs_) {
        if (run.intersects(dirty)) {
            // One rectangle of clip per run keeps the painter on its plain-copy path.
            p.setClipRect(run);
            p.drawImage(run.topLeft(), buffer_, run);
        }
    }
}

} // namespace tarvik::lighting
