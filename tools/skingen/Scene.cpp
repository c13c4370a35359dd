#include "tools/skingen/Scene.h"

#include <QPainter>

namespace tarvik::skingen {

Scene::Scene(QSize size, int cornerRadius) : size_(size) {
    outline_.addRoundedRect(QRectF(0, 0, size.width(), size.height()), cornerRadius, cornerRadius);
}

Element& Scene::add(const QString& key, QRect rect, DrawFn draw, bool onBackground) {
    elements_.push_back(Element{key, rect, std::move(draw), onBackground});
    return elements_.back();
}

void Scene::decorate(QRect rect, DrawFn draw, bool onBackground) {
    Element& e = add(QString(), rect, std::move(draw), onBackground);
    e.written = false;
}

void Scene::caption(const QString& textKey, QRect rect, CaptionStyle style, Align align,
                    const QString& owner) {
    captions_.push_back(Caption{textKey, rect, captionPixelSize(style), align, style, owner});
}

const Element* Scene::find(const QString& key) const {
    for (const Element& e : elements_) {
        if (e.written && e.key == key) {
            return &e;
        }
    }
    return nullptr;
}

QImage Scene::render(const Look& look, bool backgroundOnly, QPoint shift, int scale) const {
    QImage image(size_ * scale, QImage::Format_RGB32);
    image.fill(QColor(0, 0, 0));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(scale, scale);
    p.translate(shift);
    if (base_) {
        p.save();
        base_(p, QRectF(0, 0, size_.width(), size_.height()), look);
        p.restore();
    }
    for (const Element& e : elements_) {
        if (!e.draw || (backgroundOnly && !e.onBackground)) {
            continue;
        }
        p.save();
        e.draw(p, QRectF(e.rect), look);
        p.restore();
    }
    return image;
}

QImage Scene::background(int panel, int scale) const {
    return render(Look{State::Normal, panel}, true, QPoint(0, 0), scale);
}

QImage Scene::statePicture(const Look& look, int scale) const {
    return render(look, false, QPoint(-1, -1), scale);
}

QImage Scene::mask(int scale) const {
    QImage image(size_ * scale, QImage::Format_RGB32);
    image.fill(QColor(255, 255, 255));
    QPainter p(&image);
    // No antialiasing: every pixel is either inside (black) or outside (pure white).
    p.setRenderHint(QPainter::Antialiasing, false);
    p.scale(scale, scale);
    p.fillPath(outline_, QColor(0, 0, 0));
    p.end();
    return image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
}

int captionPixelSize(CaptionStyle style) {
    switch (style) {
    case CaptionStyle::Title:
        return 14;
    case CaptionStyle::Caption:
        return 12;
    case CaptionStyle::Label:
        break;
    }
    return 13;
}

QString alignName(Align align) {
    switch (align) {
    case Align::Left:
        return QStringLiteral("left");
    case Align::Center:
        return QStringLiteral("center");
    case Align::Right:
        break;
    }
    return QStringLiteral("right");
}

QString styleName(CaptionStyle style) {
    switch (style) {
    case CaptionStyle::Title:
        return QStringLiteral("title");
    case CaptionStyle::Caption:
        return QStringLiteral("caption");
    case CaptionStyle::Label:
        break;
    }
    return QStringLiteral("label");
}

} // namespace tarvik::skingen
