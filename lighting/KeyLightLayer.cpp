#include "lighting/KeyLightLayer.h"

#include "lighting/LegendContrast.h"
#include "lighting/LightBlend.h"
#include "ui/CPngButton.h"

#include <QBackingStore>
#include <QEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <tuple>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarvik::lighting {

namespace {

// base + light, channel by channel, held at 255 (addChannel of LightBlend.h): sixteen channels at once.
#if defined(__SSE2__)
using Channels = __m128i;

inline Channels addChannels(Channels base, Channels light) {
    return _mm_adds_epu8(base, light);
}
#else
using Channels = uint8_t __attribute__((vector_size(16)));

inline Channels addChannels(Channels base, Channels light) {
    const Channels sum = base + light;
    // Where a channel wrapped around, the comparison gives all ones: 255.
    return sum | reinterpret_cast<Channels>(sum < base);
}
#endif

// The same for the four channels of one pixel.
inline uint32_t addPixel(uint32_t base, uint32_t light) {
    const uint32_t low = (base & 0x7F7F7F7Fu) + (light & 0x7F7F7F7Fu);
    const uint32_t top = (base ^ light) & 0x80808080u;
    const uint32_t carry = ((base & light) | (low & top)) & 0x80808080u;
    return (low ^ top) | ((carry >> 7) * 0xFFu);
}

// dst[i] = src[i] + light[i] for n pixels of four channels.
void addLight(uint32_t* dst, const uint32_t* src, const uint32_t* light, int n) {
    int x = 0;
    for (; x + 4 <= n; x += 4) {
        Channels v;
        Channels l;
        std::memcpy(&v, src + x, sizeof v);
        std::memcpy(&l, light + x, sizeof l);
        v = addChannels(v, l);
        std::memcpy(dst + x, &v, sizeof v);
    }
    for (; x < n; ++x) {
        dst[x] = addPixel(src[x], light[x]);
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
    // Laid out when it first shows: a window that starts hidden holds no copy of its background.
    release();
}

void KeyLightLayer::release() {
    relayoutPending_ = true;
    covered_.clear();
    covered_.shrink_to_fit();
    isCovered_.fill(false);
    runs_.clear();
    runs_.shrink_to_fit();
    plain_ = QImage();
    buffer_ = QImage();
}

std::vector<QRect> KeyLightLayer::runs() const {
    std::vector<QRect> areas;
    for (const Run& run : runs_) {
        areas.push_back(run.area);
    }
    return areas;
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
    release();
    relayoutPending_ = false;
    if (devicePixelRatioF() != 1.0) {
        // The layer writes one pixel per pixel; scaled up it would blur the keys.
        return;
    }
    QRect bounds;
    for (const auto& [index, b] : buttons_) {
        // Only a button whose every picture covers its face can be painted without what lies under it.
        if (b && b->parentWidget() == parentWidget() && !b->isHidden() && b->picturesCoverFace()) {
            Covered c;
            c.button = b.data();
            c.index = index;
            c.face = b->geometry();
            covered_.push_back(std::move(c));
            isCovered_[static_cast<size_t>(index)] = true;
            bounds |= b->geometry();
        }
    }
    if (covered_.empty()) {
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
    std::vector<Covered*> order;
    for (Covered& c : covered_) {
        order.push_back(&c);
    }
    std::sort(order.begin(), order.end(), [](const Covered* a, const Covered* b) {
        return std::tuple(a->face.top(), a->face.height(), a->face.left()) <
               std::tuple(b->face.top(), b->face.height(), b->face.left());
    });
    auto free = [&](const QRect& gap) {
        auto hits = [&gap](const QRect& r) { return r.intersects(gap); };
        return std::none_of(others.begin(), others.end(), hits) &&
               std::none_of(order.begin(), order.end(), [&](const Covered* c) { return hits(c->face); });
    };
    std::vector<QRect> areas;
    for (Covered* c : order) {
        const QRect& f = c->face;
        bool joined = false;
        if (!areas.empty()) {
            QRect& run = areas.back();
            if (run.top() == f.top() && run.height() == f.height() && f.left() > run.right()) {
                const QRect gap(QPoint(run.right() + 1, f.top()), QPoint(f.left() - 1, f.bottom()));
                if (gap.isEmpty() || free(gap)) {
                    run.setRight(f.right());
                    joined = true;
                }
            }
        }
        if (!joined) {
            areas.push_back(f);
        }
        c->run = areas.size() - 1;
    }
    QRegion area;
    for (QRect& r : areas) {
        area += r;
        r.translate(-bounds.topLeft());
        runs_.push_back(Run{r, std::vector<uint32_t>(static_cast<size_t>(kRowKinds * r.width()), 0)});
    }
    for (Covered& c : covered_) {
        c.face.translate(-bounds.topLeft());
        c.corner = lightCorner(c.face.width() - 2, c.face.height() - 2);
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

    // The window's own painting under the runs, once, and the faces over it. The format is
    // the window picture's, so the layer writes to it with plain adds and copies.
    QImage::Format format = QImage::Format_RGB32;
    if (QBackingStore* store = window()->backingStore()) {
        if (auto* image = dynamic_cast<QImage*>(store->paintDevice());
            image != nullptr && isPixelFormat(image->format())) {
            format = image->format();
        }
    }
    plain_ = QImage(bounds.size(), format);
    plain_.fill(Qt::black);
    {
        QPainter p(&plain_);
        parentWidget()->render(&p, QPoint(), QRegion(bounds), QWidget::DrawWindowBackground);
    }
    for (Covered& c : covered_) {
        takeFace(c);
        takeLight(c, lights_[static_cast<size_t>(c.index)]);
    }
    // Only the faces shown now are kept (pictures given back and loaded again come with new keys).
    std::erase_if(legends_, [this](const auto& entry) {
        return std::none_of(covered_.begin(), covered_.end(), [&](const Covered& c) {
            return std::tuple(c.faceKey, c.faceOrigin.x(), c.faceOrigin.y()) == entry.first;
        });
    });
}

bool KeyLightLayer::takeFace(Covered& c) {
    QPoint origin;
    const QPixmap* picture = c.button->plainFace(origin);
    if (picture == nullptr || !QRect(QPoint(), plain_.size()).contains(c.face)) {
        // A face that paints itself may have changed in any way.
        c.selfPainted = true;
        return true;
    }
    if (!c.selfPainted && picture->cacheKey() == c.faceKey && origin == c.faceOrigin) {
        return false;
    }
    const QImage face = picture->toImage();
    c.faceKey = picture->cacheKey();
    c.faceOrigin = origin;
    c.selfPainted =
        face.format() != QImage::Format_RGB32 || !face.rect().contains(QRect(origin, c.face.size()));
    c.legend = KeyLegend{};
    if (!c.selfPainted) {
        auto [known, added] = legends_.try_emplace(std::tuple(c.faceKey, origin.x(), origin.y()));
        if (added) {
            known->second = findKeyLegend(face, QRect(origin, c.face.size()));
        }
        c.legend = known->second;
    }
    if (!c.selfPainted) {
        const size_t bytes = static_cast<size_t>(c.face.width()) * 4;
        for (int y = 0; y < c.face.height(); ++y) {
            std::memcpy(plain_.scanLine(c.face.y() + y) + c.face.x() * 4,
                        face.constScanLine(origin.y() + y) + origin.x() * 4, bytes);
        }
    }
    return true;
}

void KeyLightLayer::takeLight(Covered& c, const std::optional<Rgb>& light) {
    c.light = light;
    c.ink = light && !c.selfPainted && !c.legend.empty() ? legendInk(c.legend.cap, c.legend.ink, *light)
                                                         : LegendInk::Printed;
    Run& run = runs_[c.run];
    uint32_t add = 0;
    if (light && !c.selfPainted) {
        const Rgb o = lightOverlay(*light);
        add = (uint32_t{o.r} << 16) | (uint32_t{o.g} << 8) | uint32_t{o.b};
    }
    // The light of the after-paint callback, pixel for pixel: added to the face one pixel in from the
    // edge, leaving out a square at each corner.
    const int w = c.face.width();
    const int x = c.face.x() - run.area.x();
    for (int kind = 0; kind < kRowKinds; ++kind) {
        uint32_t* row = run.add.data() + static_cast<size_t>(kind * run.area.width() + x);
        std::fill(row, row + w, 0u);
        if (add != 0 && w >= 3) {
            const int inset = kind < c.corner ? c.corner : 0;
            std::fill(row + 1 + inset, row + std::max(1 + inset, w - 1 - inset), add);
        }
    }
}

void KeyLightLayer::showFrame(const Lights& lights) {
    if (relayoutPending_) {
        relayout();
    }
    lights_ = lights;
    // Only the runs that hold a changed button are painted again: whole when a face changed, and without
    // their top and bottom rows, which are never lit, when only lights did.
    enum Change : uint8_t { None, Light, Face };
    std::vector<Change> changed(runs_.size(), None);
    for (Covered& c : covered_) {
        if (!c.button) {
            // Gone since the last layout: the next frame lays out again.
            relayoutPending_ = true;
            continue;
        }
        const std::optional<Rgb>& light = lights[static_cast<size_t>(c.index)];
        const bool face = takeFace(c);
        if (face || c.light != light) {
            changed[c.run] = std::max(changed[c.run], face ? Face : Light);
            takeLight(c, light);
        }
    }
    QRegion dirty;
    for (size_t i = 0; i < runs_.size(); ++i) {
        if (changed[i] != None) {
            const QRect& area = runs_[i].area;
            dirty += changed[i] == Face ? area : area.adjusted(0, 1, 0, -1);
        }
    }
    if (!dirty.isEmpty()) {
        update(dirty);
    }
}

void KeyLightLayer::write(const Target& to, size_t index, const QRect& area) const {
    const Run& run = runs_[index];
    const int from = area.left() - run.area.left();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* src = reinterpret_cast<const uint32_t*>(plain_.constScanLine(y)) + area.left();
        auto* dst = reinterpret_cast<uint32_t*>(to.bits + (to.origin.y() + y) * to.stride) + to.origin.x() +
                    area.left();
        const int fromEdge = std::min(y - run.area.top(), run.area.bottom() - y) - 1;
        if (fromEdge < 0) {
            // The edge rows are never lit.
            std::memcpy(dst, src, static_cast<size_t>(area.width()) * 4);
            continue;
        }
        const int kind = std::min(fromEdge, kRowKinds - 1);
        addLight(dst, src, run.add.data() + static_cast<size_t>(kind * run.area.width() + from),
                 area.width());
    }
    // Legends that would not stand out from their lit cap, inked over it.
    const QRect clip = area.translated(to.origin);
    for (const Covered& c : covered_) {
        if (c.ink != LegendInk::Printed && c.run == index && c.face.intersects(area)) {
            inkLegend(to.bits, to.stride, to.origin + c.face.topLeft(), c.legend, c.ink, clip);
        }
    }
    // The faces that paint themselves, over their plain pictures.
    for (const Covered& c : covered_) {
        if (c.selfPainted && c.run == index && c.button && c.face.intersects(area)) {
            QPainter& p = *to.painter;
            p.save();
            p.setClipRect(c.face & area, Qt::IntersectClip);
            p.translate(c.face.topLeft());
            c.button->paintFace(p);
            p.restore();
        }
    }
}

void KeyLightLayer::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    if (plain_.isNull()) {
        return;
    }
    const QRegion dirty = event->region();
    // The window's picture, when that is where this paint goes, at one pixel per pixel, and the layer
    // lies wholly inside it: written there directly, a frame skips composing a picture of its own and
    // copying it over.
    QPaintDevice* device = p.paintEngine() != nullptr ? p.paintEngine()->paintDevice() : nullptr;
    QBackingStore* store = window()->backingStore();
    const QTransform& t = p.deviceTransform();
    const QPoint origin(qRound(t.dx()), qRound(t.dy()));
    QImage* picture = device != nullptr && device->devType() == QInternal::Image && store != nullptr &&
                              store->paintDevice() == device
                          ? static_cast<QImage*>(device)
                          : nullptr;
    inPlace_ = picture != nullptr && picture->format() == plain_.format() &&
               t.type() == QTransform::TxTranslate && QPointF(origin) == QPointF(t.dx(), t.dy()) &&
               picture->rect().contains(QRect(origin, size()));
    if (inPlace_) {
        const Target to{picture->bits(), picture->bytesPerLine(), origin, &p};
        for (const QRect& r : dirty) {
            for (size_t i = 0; i < runs_.size(); ++i) {
                if (const QRect area = r & runs_[i].area; !area.isEmpty()) {
                    write(to, i, area);
                }
            }
        }
        return;
    }

    // Anywhere else: composed into a picture of the layer's own, copied over run by run.
    if (buffer_.size() != plain_.size() || buffer_.format() != plain_.format()) {
        buffer_ = QImage(plain_.size(), plain_.format());
    }
    {
        QPainter own(&buffer_);
        const Target to{buffer_.bits(), buffer_.bytesPerLine(), QPoint(), &own};
        for (size_t i = 0; i < runs_.size(); ++i) {
            if (dirty.intersects(runs_[i].area)) {
                write(to, i, runs_[i].area);
            }
        }
    }
    p.setCompositionMode(QPainter::CompositionMode_Source);
    for (const Run& run : runs_) {
        if (dirty.intersects(run.area)) {
            // One rectangle of clip per run keeps the painter on its plain-copy path.
            p.setClipRect(run.area);
            p.drawImage(run.area.topLeft(), buffer_, run.area);
        }
    }
}

} // namespace tarvik::lighting
