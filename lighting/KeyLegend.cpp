#include "lighting/KeyLegend.h"

#include <algorithm>

namespace tarvik::lighting {

namespace {

// Brightness for telling legend from cap (integer, 0..255000).
int brightness(QRgb c) {
    return qRed(c) * 299 + qGreen(c) * 587 + qBlue(c) * 114;
}

// A pixel brighter than the cap by less than this share of the legend's lift is cap: the cap's own top
// highlight and the picture's compression noise.
constexpr int kLeastWeight = 16;
// A face whose brightest pixel is hardly above the cap has no legend.
constexpr int kLeastLift = 40 * 1000;
// The cap's edge ring holds the rim and the skirt, never the legend.
constexpr int kEdge = 2;

// x * a / 255 as the painter's source-over computes it for one channel.
inline uint32_t byteMul(uint32_t x, uint32_t a) {
    const uint32_t t = x * a;
    return (t + (t >> 8) + 0x80) >> 8;
}

} // namespace

KeyLegend findKeyLegend(const QImage& picture, const QRect& face) {
    KeyLegend legend;
    legend.face = face.size();
    const QRect inner = face.adjusted(kEdge, kEdge, -kEdge, -kEdge) & picture.rect();
    if (inner.isEmpty()) {
        return legend;
    }
    const QImage image = picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
                             ? picture
                             : picture.convertToFormat(QImage::Format_RGB32);
    std::vector<std::pair<int, QRgb>> shades;
    shades.reserve(static_cast<size_t>(inner.width() * inner.height()));
    for (int y = inner.top(); y <= inner.bottom(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = inner.left(); x <= inner.right(); ++x) {
            shades.emplace_back(brightness(line[x]), line[x]);
        }
    }
    auto middle = shades.begin() + static_cast<std::ptrdiff_t>(shades.size() / 2);
    std::nth_element(shades.begin(), middle, shades.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    const auto [capLevel, cap] = *middle;
    const auto [inkLevel, ink] = *std::max_element(
        shades.begin(), shades.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    legend.cap = Rgb{static_cast<uint8_t>(qRed(cap)), static_cast<uint8_t>(qGreen(cap)),
                     static_cast<uint8_t>(qBlue(cap))};
    legend.ink = Rgb{static_cast<uint8_t>(qRed(ink)), static_cast<uint8_t>(qGreen(ink)),
                     static_cast<uint8_t>(qBlue(ink))};
    const int lift = inkLevel - capLevel;
    if (lift < kLeastLift) {
        return legend;
    }
    for (int y = inner.top(); y <= inner.bottom(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = inner.left(); x <= inner.right(); ++x) {
            const int weight = std::min(255, (brightness(line[x]) - capLevel) * 255 / lift);
            if (weight < kLeastWeight) {
                continue;
            }
            const int fx = x - face.left();
            const int fy = y - face.top();
            legend.pixels.push_back(KeyLegend::Pixel{static_cast<uint16_t>(fx), static_cast<uint16_t>(fy),
                                                     static_cast<uint8_t>(weight)});
        }
    }
    return legend;
}

QImage legendShade(const KeyLegend& legend, LegendInk ink) {
    QImage shade(legend.face, QImage::Format_ARGB32_Premultiplied);
    shade.fill(Qt::transparent);
    for (const KeyLegend::Pixel& p : legend.pixels) {
        const int w = p.weight;
        // Premultiplied: white at weight w is (w, w, w, w).
        reinterpret_cast<QRgb*>(shade.scanLine(p.y))[p.x] =
            ink == LegendInk::Light ? qRgba(w, w, w, w) : qRgba(0, 0, 0, w);
    }
    return shade;
}

void inkLegend(uchar* bits, qsizetype stride, QPoint at, const KeyLegend& legend, LegendInk ink,
               const QRect& clip) {
    if (ink == LegendInk::Printed) {
        return;
    }
    for (const KeyLegend::Pixel& p : legend.pixels) {
        const int x = at.x() + p.x;
        const int y = at.y() + p.y;
        if (!clip.contains(x, y)) {
            continue;
        }
        auto* px = reinterpret_cast<uint32_t*>(bits + y * stride) + x;
        // Source over: the premultiplied ink, plus what it leaves of the pixel.
        const uint32_t over = ink == LegendInk::Light ? p.weight : 0u;
        const uint32_t keep = 255u - p.weight;
        const uint32_t c = *px;
        *px = (c & 0xFF000000u) | ((over + byteMul((c >> 16) & 0xFF, keep)) << 16) |
              ((over + byteMul((c >> 8) & 0xFF, keep)) << 8) | (over + byteMul(c & 0xFF, keep));
    }
}

} // namespace tarvik::lighting
