#include "ui/CSkinColorBtn.h"

#include "ui/ColourNames.h"
#include "ui/Language.h"

#include <QColorDialog>
#include <QEnterEvent>
#include <QGridLayout>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>

namespace tarvik::ui {

QColor fromColorRef(int colorRef) {
    const auto v = static_cast<unsigned>(colorRef);
    return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                  static_cast<int>((v >> 16) & 0xFF));
}

int toColorRef(const QColor& colour) {
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

std::optional<int> DialogColorChooser::chooseColor(int initial, QWidget* parent) {
    const QColor c = QColorDialog::getColor(fromColorRef(initial), parent);
    if (!c.isValid()) {
        return std::nullopt;
    }
    return toColorRef(c);
}

namespace {

constexpr int rgb(int r, int g, int b) {
    return r | (g << 8) | (b << 16);
}

// Four rows of ten: greys, full colours, light and dark variants.
constexpr std::array<int, 40> kPalette = {
    rgb(0, 0, 0),       rgb(64, 64, 64),    rgb(96, 96, 96),    rgb(128, 128, 128), rgb(160, 160, 160),
    rgb(192, 192, 192), rgb(208, 208, 208), rgb(224, 224, 224), rgb(240, 240, 240), rgb(255, 255, 255),
    rgb(255, 0, 0),     rgb(255, 128, 0),   rgb(255, 255, 0),   rgb(128, 255, 0),   rgb(0, 255, 0),
    rgb(0, 255, 128),   rgb(0, 255, 255),   rgb(0, 128, 255),   rgb(0, 0, 255),     rgb(255, 0, 255),
    rgb(255, 128, 128), rgb(255, 192, 128), rgb(255, 255, 128), rgb(192, 255, 128), rgb(128, 255, 128),
    rgb(128, 255, 192), rgb(128, 255, 255), rgb(128, 192, 255), rgb(128, 128, 255), rgb(255, 128, 255),
    rgb(128, 0, 0),     rgb(128, 64, 0),    rgb(128, 128, 0),   rgb(64, 128, 0),    rgb(0, 128, 0),
    rgb(0, 128, 64),    rgb(0, 128, 128),   rgb(0, 64, 128),    rgb(0, 0, 128),     rgb(128, 0, 128),
};

// One palette cell: a swatch that picks its colour.
class Swatch : public QAbstractButton {
public:
    Swatch(int colour, QWidget* parent) : QAbstractButton(parent), colour_(colour) {
        setFixedSize(18, 18);
        setToolTip(fromColorRef(colour).name());
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), underMouse() ? QColor(255, 255, 255) : QColor(96, 96, 96));
        p.fillRect(rect().adjusted(2, 2, -2, -2), fromColorRef(colour_));
    }
    void enterEvent(QEnterEvent*) override { update(); }
    void leaveEvent(QEvent*) override { update(); }

private:
    int colour_;
};

} // namespace

std::span<const int> CSkinColorBtn::palette() {
    return kPalette;
}

CSkinColorPopup::CSkinColorPopup(CSkinColorBtn& owner) : QFrame(&owner, Qt::Popup), owner_(owner) {
    setFrameShape(QFrame::StyledPanel);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(6);
    automatic_ = new QPushButton(owner.automaticText(), this);
    connect(automatic_, &QAbstractButton::clicked, this, [this] { owner_.pick(CSkinColorBtn::kAutomatic); });
    column->addWidget(automatic_);
    auto* grid = new QGridLayout;
    grid->setSpacing(2);
    const std::span<const int> colours = CSkinColorBtn::palette();
    for (size_t i = 0; i < colours.size(); ++i) {
        auto* cell = new Swatch(colours[i], this);
        const int colour = colours[i];
        connect(cell, &QAbstractButton::clicked, this, [this, colour] { owner_.pick(colour); });
        grid->addWidget(cell, static_cast<int>(i) / CSkinColorBtn::kPaletteColumns,
                        static_cast<int>(i) % CSkinColorBtn::kPaletteColumns);
        cells_.push_back(cell);
    }
    column->addLayout(grid);
    more_ = new QPushButton(QStringLiteral("more"), this);
    connect(more_, &QAbstractButton::clicked, this, [this] { owner_.pickMore(); });
    column->addWidget(more_);
}

QAbstractButton* CSkinColorPopup::paletteEntry(int index) const {
    return index >= 0 && static_cast<size_t>(index) < cells_.size() ? cells_[static_cast<size_t>(index)]
                                                                    : nullptr;
}

void CSkinColorPopup::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    owner_.popupClosed();
}

QString colourAsText(int colorRef) {
    const auto value = static_cast<uint32_t>(colorRef) & 0xFFFFFF;
    return text(nearestColourNameKey(value)) + QStringLiteral(", ") +
           fromColorRef(static_cast<int>(value)).name().toUpper();
}

CSkinColorBtn::CSkinColorBtn(QWidget* parent) : QAbstractButton(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QAbstractButton::clicked, this, &CSkinColorBtn::openPopup);
    connect(&Language::instance(), &Language::changed, this, &CSkinColorBtn::describeColour);
    describeColour();
}

CSkinColorBtn::~CSkinColorBtn() = default;

void CSkinColorBtn::setColor(int colorRef) {
    colour_ = colorRef < 0 ? kAutomatic : (colorRef & 0xFFFFFF);
    describeColour();
    update();
}

void CSkinColorBtn::describeColour() {
    // A screen reader reads the colour the button shows as words and text: "red, #FF0000".
    setAccessibleDescription(colourAsText(effectiveColor()));
}

void CSkinColorBtn::setAutomaticColor(int colorRef) {
    automatic_ = colorRef & 0xFFFFFF;
    describeColour();
    update();
}

void CSkinColorBtn::setAutomaticText(const QString& text) {
    automaticText_ = text;
    if (popup_ != nullptr) {
        popup_->automaticEntry()->setText(text);
    }
}

void CSkinColorBtn::openPopup() {
    if (popup_ == nullptr) {
        popup_ = new CSkinColorPopup(*this);
    }
    popup_->adjustSize();
    QPoint at = mapToGlobal(QPoint(0, height()));
    if (const QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        at.setX(std::min(at.x(), area.right() - popup_->width()));
        if (at.y() + popup_->height() > area.bottom()) {
            at.setY(mapToGlobal(QPoint(0, 0)).y() - popup_->height());
        }
    }
    popup_->move(at);
    popup_->show();
}

void CSkinColorBtn::pick(int colorRef) {
    if (popup_ != nullptr) {
        popup_->hide();
    }
    setColor(colorRef);
    emit colorChosen(effectiveColor());
}

void CSkinColorBtn::pickMore() {
    if (popup_ != nullptr) {
        popup_->hide();
    }
    DialogColorChooser fallback;
    ColorChooser& chooser = chooser_ != nullptr ? *chooser_ : fallback;
    if (const std::optional<int> c = chooser.chooseColor(effectiveColor(), this)) {
        setColor(*c);
        emit colorChosen(effectiveColor());
    }
    update();
}

void CSkinColorBtn::popupClosed() {
    update();
}

void CSkinColorBtn::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // The face is set in by 3 pixels; the focus rectangle runs in that margin.
    const QRect face = rect().adjusted(3, 3, -3, -3);
    if (face.width() <= 0 || face.height() <= 0) {
        return;
    }
    const int half = face.left() + face.width() / 2;
    const QRect swatch(face.left(), face.top(), half - face.left(), face.height());
    const QRect arrowPart(half, face.top(), face.right() - half + 1, face.height());

    // Sunken 3-D frame around the colour.
    p.fillRect(swatch, QColor(212, 208, 200));
    p.setPen(QColor(128, 128, 128));
    p.drawLine(swatch.topLeft(), swatch.topRight());
    p.drawLine(swatch.topLeft(), swatch.bottomLeft());
    p.setPen(QColor(255, 255, 255));
    p.drawLine(swatch.bottomLeft(), swatch.bottomRight());
    p.drawLine(swatch.topRight(), swatch.bottomRight());
    p.fillRect(swatch.adjusted(2, 2, -2, -2), fromColorRef(effectiveColor()));

    p.fillRect(arrowPart, QColor(148, 146, 139));
    const int right = face.right() + 1, middle = face.top() + face.height() / 2;
    const QPoint triangle[] = {QPoint(right - 11, middle - 1), QPoint(right - 5, middle - 1),
                               QPoint(right - 8, middle + 2)};
    p.setPen(Qt::black);
    p.setBrush(Qt::black);
    p.drawPolygon(triangle, 3);

    if (hasFocus()) {
        QPen dotted(QColor(0, 0, 0));
        dotted.setStyle(Qt::DotLine);
        p.setPen(dotted);
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void CSkinColorBtn::enterEvent(QEnterEvent* event) {
    update();
    QAbstractButton::enterEvent(event);
}

void CSkinColorBtn::leaveEvent(QEvent* event) {
    update();
    QAbstractButton::leaveEvent(event);
}

} // namespace tarvik::ui
