#include "lighting/LightingPanel.h"

#include "lighting/KeyLegend.h"
#include "lighting/KeyLightLayer.h"
#include "lighting/LegendContrast.h"
#include "lighting/LightBlend.h"
#include "lighting/LightingModes.h"
#include "lighting/LightingPanelIds.h"
#include "lighting/ModeNames.h"
#include "lighting/PictureButton.h"
#include "platform/Utf.h"
#include "ui/CBitmapSlider.h"
#include "ui/CPngButton.h"
#include "ui/CSkinColorBtn.h"
#include "ui/SkinLayout.h"
#include "ui/SkinPicture.h"
#include "ui/TextBinder.h"
#include "ui/TextTable.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace tarvik::lighting {

namespace {

// The standard widgets of the panel in the skin's colours, whatever the host's style.
const char* const kComboStyle = R"(
QComboBox { background: #101215; color: #e4e6ea; border: 1px solid #2c3038; border-radius: 5px;
            padding: 2px 8px; selection-background-color: #1b6f9e; }
QComboBox:focus { border-color: #38b6f0; }
QComboBox QAbstractItemView { background: #16191e; color: #e4e6ea; border: 1px solid #2c3038;
                              selection-background-color: #1b6f9e; outline: none; }
QComboBox QLineEdit { background: transparent; color: #e4e6ea; border: none; }
)";
const char* const kCaptionStyle = "QLabel { color: #c9cdd4; background: transparent; }";

QString qs(std::u16string_view s) {
    return QString::fromStdU16String(std::u16string(s));
}

QColor qcolour(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

// The caption texts of the user mode: section Control_Name in language 0, Control_Name1 in language 1;
// ETool is always read from Control_Name.
std::u16string captionText(const IniFile& layout, int language, std::u16string_view key) {
    const bool fixed = key == u"ETool";
    return layout.get(!fixed && language == ui::TextTable::kEnglish ? u"Control_Name1" : u"Control_Name", key,
                      u"");
}

// The text of a language key that is read when the panel needs it, with %s replaced by arg. The language
// file lives beside the skin's layout files.
QString languageText(const std::filesystem::path& skins, std::string_view key, const QString& arg = {}) {
    QString text = qs(ui::uiTexts().readOnDemand(skins / "language.ini", key)).trimmed();
    return arg.isNull() ? text : text.replace(QStringLiteral("%s"), arg);
}

} // namespace

struct LightingPanel::Snapshot {
    uint64_t seq = 0;
    bool restartsPreview = false;
    LightingView view;
    std::vector<uint8_t> modes;
    PreviewParams params; // keyColours left empty: the panel points it at its own copy
    std::array<uint8_t, kColourTableSize> colours{};
};

// What the panel and the worker share: the latest queued op of each coalescing key.
struct LightingPanel::Shared {
    std::mutex mutex;
    std::map<int, Op> latest;
};

LightingPanel::LightingPanel(QWidget& host, std::filesystem::path mainLayoutFile,
                             std::filesystem::path pictureFolder, LightingState& state,
                             PostToWorker postToWorker, QObject* parent)
    : QObject(parent != nullptr ? parent : &host), host_(host), layoutFile_(std::move(mainLayoutFile)),
      pictureFolder_(std::move(pictureFolder)), layout_(IniFile::load(layoutFile_)), state_(state),
      post_(std::move(postToWorker)), shared_(std::make_shared<Shared>()) {
    previewTimer_.setInterval(kPreviewIntervalMs);
    previewTimer_.setTimerType(Qt::CoarseTimer);
    connect(&previewTimer_, &QTimer::timeout, this, &LightingPanel::previewTick);
    reloadTimer_.setSingleShot(true);
    reloadTimer_.setInterval(0);
    connect(&reloadTimer_, &QTimer::timeout, this, &LightingPanel::reload);
    buildControls();
    connectControls();
    host_.window()->installEventFilter(this);
    draw();
    if (host_.window()->isVisible()) {
        whenShown();
    }
}

LightingPanel::~LightingPanel() {
    delete layer_.data();
    // Its controls live in the host's lighting area; a panel made again makes its own.
    for (const QPointer<QWidget>& w : made_) {
        delete w.data();
    }
    for (const QPointer<ui::CPngButton>& b : buttons_) {
        if (b) {
            b->setAfterPaint({});
            b->setSpokenColour({});
            b->removeEventFilter(this);
        }
    }
}

QPixmap LightingPanel::picture(std::string_view name) {
    if (auto it = pictures_.find(name); it != pictures_.end()) {
        return it->second;
    }
    // A missing file leaves that picture empty. Not through Qt's pixmap cache: the pictures go with the
    // panel.
    QPixmap p = ui::loadSkinPixmap(pictureFolder_ / std::string(name), 1.0);
    pictures_.emplace(std::string(name), p);
    return p;
}

template <typename W> W* LightingPanel::place(W* widget, int id, const char* key) {
    widget->setObjectName(QString::fromLatin1(key));
    ui::placeControl(*widget, layout_, toUtf16(key));
    controls_[id] = widget;
    made_.emplace_back(widget);
    return widget;
}

QWidget* LightingPanel::control(int controlId) const {
    auto it = controls_.find(controlId);
    return it == controls_.end() ? nullptr : it->second;
}

void LightingPanel::buildControls() {
    auto pictureLabel = [&](int id, const char* key, std::string_view file) {
        auto* l = place(new QLabel(&host_), id, key);
        const QPixmap p = picture(file);
        l->setPixmap(p);
        // A caption as large as its rectangle shrinks with a window shrunk to fit a small screen, instead
        // of being cut off; one of another size keeps its own size, as a skin drew it.
        ui::SkinRect r;
        l->setScaledContents(ui::placedRect(*l, r) && p.deviceIndependentSize().toSize() == QSize(r.w, r.h));
        return l;
    };
    auto pictureButton = [&](int id, const char* key) { return place(new PictureButton(&host_), id, key); };
    auto textLabel = [&](int id, const char* key) {
        auto* l = place(new QLabel(&host_), id, key);
        l->setStyleSheet(QString::fromLatin1(kCaptionStyle));
        QFont f(QStringLiteral("Tahoma"));
        f.setPointSizeF(9);
        l->setFont(f);
        return l;
    };
    auto colourButton = [&](int id, const char* key, Rgb automatic) {
        auto* b = place(new ui::CSkinColorBtn(&host_), id, key);
        b->setAutomaticColor(static_cast<int>(toColorRef(automatic)));
        return b;
    };
    auto slider = [&](int id, const char* key) {
        auto* s = place(new ui::CBitmapSlider(id, &host_), id, key);
        s->setRange(0, kLevelMax);
        s->setTrackInset(kSliderTrackInset, kSliderTrackInset);
        return s;
    };

    // The caption and the two switches show in every state; the rest follows the view.
    pictureLabel(control::kPanelCaption, "CONTROL_DengStatic", "led.bmp")->show();
    panelOn_ = pictureButton(control::kPanelOn, "CONTROL_DengStaPic");
    panelOff_ = pictureButton(control::kPanelOff, "CONTROL_DengDisable");
    panelOn_->show();
    panelOff_->show();

    modeList_ = place(new QComboBox(&host_), control::kModeList, "CONTROL_XGcombox");
    modeList_->setStyleSheet(QString::fromLatin1(kComboStyle));
    modeList_->installEventFilter(this);

    pictureLabel(control::kBrightnessCaption, "CONTROL_LightStatic", "brightness.bmp");
    brightness_ = slider(control::kBrightnessSlider, "CONTROL_LightSlider");
    brightness_->setPicture(picture(picture::kNumbers[0]));
    pictureLabel(control::kSpeedCaption, "CONTROL_SpeedStatic", "speed.bmp");
    speed_ = slider(control::kSpeedSlider, "CONTROL_SpeedSlider");
    speed_->setPicture(picture(picture::kNumbers[6]));

    pictureLabel(control::kDirectionCaption, "CONTROL_BLFXStatic", "direction.bmp");
    direction1_ = pictureButton(control::kDirection1, "CONTROL_BLFXLStaPic");
    direction0_ = pictureButton(control::kDirection0, "CONTROL_BLFXRStaPic");

    pictureLabel(control::kColourfulCaption, "CONTROL_COLORFULStatic", "colorful.bmp");
    pictureLabel(control::kEffectCaption, "CONTROL_HXysStatic", "color.bmp");
    effectColour_ = colourButton(control::kEffectButton, "CONTROL_HXysButton", Rgb{255, 0, 0});
    random_ = pictureButton(control::kRandomToggle, "CONTROL_HXsjsStaPic");
    place(new QLabel(&host_), control::kRandomCaption, "CONTROL_HXsjsStatic");
    pictureLabel(control::kFixedCaption, "CONTROL_FYYSStatic", "color.bmp");
    fixedColour_ = colourButton(control::kFixedButton, "CONTROL_FYYSButton", Rgb{255, 0, 0});
    pictureButton(control::kFixedRandomToggle, "CONTROL_FYSJSStaPic");

    const char* presetKeys[] = {"CONTROL_HONGPIC", "CONTROL_HUANGPIC", "CONTROL_LVPIC", "CONTROL_LANPIC"};
    for (int k = 0; k < kPresetCount; ++k) {
        presets_[static_cast<size_t>(k)] = pictureButton(control::kPresetRed + k, presetKeys[k]);
    }

    userCaptions_[0] = textLabel(control::kPaintCaption, "CONTROL_USERysStatic");
    paintColour_ = colourButton(control::kPaintButton, "CONTROL_USERysButton", Rgb{255, 0, 0});
    userCaptions_[1] = textLabel(control::kBaseCaption, "CONTROL_USERjsStatic");
    baseColour_ = colourButton(control::kBaseButton, "CONTROL_USERjsButton", Rgb{255, 255, 255});
    userCaptions_[2] = textLabel(control::kBrushCaption, "CONTROL_USERgjStatic");
    userCaptions_[3] = textLabel(control::kBrushCaption2, "CONTROL_USERgjtStatic");
    brush0_ = pictureButton(control::kBrush0, "CONTROL_USERgjStaPic1");
    brush1_ = pictureButton(control::kBrush1, "CONTROL_USERgjStaPic2");

    slotList_ = place(new QComboBox(&host_), control::kSlotList, "CONTROL_umCombo");
    slotList_->setStyleSheet(QString::fromLatin1(kComboStyle));
    slotList_->setInsertPolicy(QComboBox::NoInsert);
    slotList_->setMaxVisibleItems(kSlotCount);
    slotList_->installEventFilter(this);

    // Names for screen readers: most of these controls show only a picture.
    const std::pair<int, const char*> names[] = {{control::kPanelOn, "ACC_LIGHTING_ON"},
                                                 {control::kPanelOff, "ACC_LIGHTING_OFF"},
                                                 {control::kModeList, "ACC_LIGHTING_MODE"},
                                                 {control::kBrightnessSlider, "ACC_BRIGHTNESS"},
                                                 {control::kSpeedSlider, "ACC_SPEED"},
                                                 {control::kDirection1, "ACC_DIRECTION_LEFT"},
                                                 {control::kDirection0, "ACC_DIRECTION_RIGHT"},
                                                 {control::kEffectButton, "ACC_EFFECT_COLOUR"},
                                                 {control::kRandomToggle, "ACC_RANDOM_COLOUR"},
                                                 {control::kFixedButton, "ACC_FIXED_COLOUR"},
                                                 {control::kFixedRandomToggle, "ACC_FIXED_RANDOM"},
                                                 {control::kPresetRed, "ACC_PRESET_RED"},
                                                 {control::kPresetRed + 1, "ACC_PRESET_YELLOW"},
                                                 {control::kPresetRed + 2, "ACC_PRESET_GREEN"},
                                                 {control::kPresetRed + 3, "ACC_PRESET_BLUE"},
                                                 {control::kPaintButton, "ACC_PAINT_COLOUR"},
                                                 {control::kBaseButton, "ACC_BASE_COLOUR"},
                                                 {control::kBrush0, "ACC_BRUSH_PAINT"},
                                                 {control::kBrush1, "ACC_BRUSH_BASE"},
                                                 {control::kSlotList, "ACC_USER_SLOT"}};
    for (const auto& [id, key] : names) {
        if (QWidget* w = control(id)) {
            ui::TextBinder::instance().bind(*w, key, ui::TextRole::Name);
        }
    }

    // With the panel off, its area says which effect the keyboard runs and how to change it. It covers the
    // controls that the panel hides, not the switch and the mode list beside them.
    QRect area;
    for (int id : kLightingControls) {
        if (id != control::kModeList) {
            area = area.united(controls_.at(id)->geometry());
        }
    }
    // It lies on the panel's colour, over the dividers between the groups of controls that it replaces.
    offText_ = new QLabel(&host_);
    made_.emplace_back(offText_);
    offText_->setObjectName(QStringLiteral("LIGHTING_PANEL_OFF"));
    offText_->setGeometry(area.adjusted(-12, -6, 24, 24));
    offText_->setWordWrap(true);
    offText_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    offText_->setTextFormat(Qt::RichText);
    offText_->setStyleSheet(
        QStringLiteral("QLabel { color: #c9cdd4; background: #191c21; padding: 0 12px; }"));
    retranslate();
}

void LightingPanel::connectControls() {
    connect(panelOn_, &QAbstractButton::clicked, this, [this] {
        QPointer<LightingPanel> self(this);
        auto proceed = [self] {
            if (self) {
                self->post([](LightingState& s) { s.enablePanel(); }, true);
            }
        };
        if (panelOnCheck_) {
            panelOnCheck_(proceed);
        } else {
            proceed();
        }
    });
    connect(panelOff_, &QAbstractButton::clicked, this,
            [this] { post([](LightingState& s) { s.disablePanel(); }, true); });
    connect(modeList_, &QComboBox::activated, this, [this](int index) {
        if (!drawing_) {
            post([index](LightingState& s) { s.selectMode(index); }, true);
        }
    });
    connect(brightness_, &ui::CBitmapSlider::notified, this, [this](int, int position) {
        // Shown at once; the keyboard follows with the latest position.
        brightness_->setPicture(picture(picture::kNumbers[static_cast<size_t>(std::clamp(position, 0, 5))]));
        postCoalesced(control::kBrightnessSlider,
                      [position](LightingState& s) { s.setBrightness(position); });
    });
    connect(speed_, &ui::CBitmapSlider::notified, this, [this](int, int position) {
        speed_->setPicture(picture(picture::kNumbers[static_cast<size_t>(6 + std::clamp(position, 0, 5))]));
        postCoalesced(control::kSpeedSlider, [position](LightingState& s) { s.setSpeed(position); });
    });
    connect(direction1_, &QAbstractButton::clicked, this,
            [this] { post([](LightingState& s) { s.setDirection(1); }); });
    connect(direction0_, &QAbstractButton::clicked, this,
            [this] { post([](LightingState& s) { s.setDirection(0); }); });
    connect(random_, &QAbstractButton::clicked, this,
            [this] { post([](LightingState& s) { s.toggleRandom(); }); });
    for (int k = 0; k < kPresetCount; ++k) {
        connect(presets_[static_cast<size_t>(k)], &QAbstractButton::clicked, this,
                [this, k] { post([k](LightingState& s) { s.setPreset(k); }); });
    }
    for (ui::CSkinColorBtn* b : {effectColour_, fixedColour_}) {
        connect(b, &ui::CSkinColorBtn::colorChosen, this, [this](int ref) {
            const Rgb c = fromColorRef(static_cast<uint32_t>(ref));
            post([c](LightingState& s) { s.setEffectColour(c); });
        });
    }
    connect(paintColour_, &ui::CSkinColorBtn::colorChosen, this, [this](int ref) {
        const Rgb c = fromColorRef(static_cast<uint32_t>(ref));
        post([c](LightingState& s) { s.user().setPaintColour(c); });
    });
    connect(baseColour_, &ui::CSkinColorBtn::colorChosen, this, [this](int ref) {
        const Rgb c = fromColorRef(static_cast<uint32_t>(ref));
        post([c](LightingState& s) { s.user().setBaseColour(c); });
    });
    connect(brush0_, &QAbstractButton::clicked, this,
            [this] { post([](LightingState& s) { s.user().setBrush(kPaintBrush); }); });
    connect(brush1_, &QAbstractButton::clicked, this,
            [this] { post([](LightingState& s) { s.user().setBrush(kBaseBrush); }); });
    connect(slotList_, &QComboBox::activated, this, [this](int index) {
        if (drawing_) {
            return;
        }
        commitSlotName();
        QPointer<LightingPanel> self(this);
        post(
            [index, self](LightingState& s) {
                const LightingState::SlotStep step = s.selectSlot(index);
                if (step.slotBefore != step.slotAfter) {
                    report(self, [step](LightingState& st, bool forward) { st.restoreSlot(step, forward); });
                }
            },
            true);
    });
}

void LightingPanel::whenShown() {
    // Both lay out text, and the first text laid out loads the fonts (two megabytes and more): a window
    // started hidden has neither until it is first shown.
    if (!slotList_->isEditable()) {
        slotList_->setEditable(true);
        slotList_->setCompleter(nullptr); // a name typed is a name, not a search among the others
        // A rename is written once the edit is finished, not at every keystroke; a name typed and then
        // left for another slot is written before the other slot is selected.
        connect(slotList_->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
            if (!drawing_ && slotList_->currentIndex() >= 0) {
                editedName_ = text;
            }
        });
        connect(slotList_->lineEdit(), &QLineEdit::editingFinished, this, [this] { commitSlotName(); });
    }
    if (offTextStale_) {
        drawPanelOffText();
    }
}

void LightingPanel::commitSlotName() {
    if (!editedName_) {
        return;
    }
    const QString text = *editedName_;
    editedName_.reset();
    // The slot being renamed is the one the worker has as current: the list's selection until a new
    // selection is sent after this.
    const int index = view_.user.slot;
    if (index < 0 || index >= slotList_->count() ||
        text == qs(view_.user.slotNames[static_cast<size_t>(index)])) {
        return;
    }
    slotList_->setItemText(index, text);
    const std::u16string name = text.toStdU16String();
    QPointer<LightingPanel> self(this);
    post([name, self](LightingState& s) {
        const LightingState::SlotStep step = s.renameSlot(name);
        if (step.nameBefore != step.nameAfter) {
            report(self, [step](LightingState& st, bool forward) { st.restoreSlot(step, forward); });
        }
    });
}

void LightingPanel::attachKeyButtons(std::span<ui::CPngButton* const> buttons) {
    for (size_t i = 0; i < buttons_.size(); ++i) {
        if (buttons_[i]) {
            buttons_[i]->setAfterPaint({});
            buttons_[i]->setSpokenColour({});
            buttons_[i]->removeEventFilter(this);
        }
        buttons_[i] = i < buttons.size() ? buttons[i] : nullptr;
        shown_[i].reset();
        ui::CPngButton* b = buttons_[i];
        if (b == nullptr) {
            continue;
        }
        const int index = static_cast<int>(i);
        // While clicks paint, a reader hears each key's colour with its description.
        b->setSpokenColour([this, index]() -> std::optional<int> {
            const std::optional<Rgb> light = view_.keyClicksPaint ? shownColour(index) : std::nullopt;
            if (!light) {
                return std::nullopt;
            }
            return static_cast<int>(toColorRef(*light));
        });
        b->setAfterPaint([this, index](ui::CPngButton& button, QPainter& p, bool) {
            const std::optional<Rgb>& light = shown_[static_cast<size_t>(index)];
            if (!light) {
                return;
            }
            // Light adds to the cap: the plus mode keeps its hue (see LightBlend.h). The face is laid
            // as three bands that leave the corners out, which reads as a rounded cap without the cost
            // of an antialiased path twenty times a second on every key. The bands are copied from a
            // picture filled with the light: the painter adds a picture to the window with vector
            // instructions, a plain colour one pixel at a time, four times slower.
            const QRect face = button.rect().adjusted(1, 1, -1, -1);
            const int corner = lightCorner(face.width(), face.height());
            const qreal ratio = p.device() != nullptr ? p.device()->devicePixelRatioF() : 1.0;
            const QImage& fill = lightPicture(face.size(), ratio, qcolour(lightOverlay(*light)));
            auto band = [&](const QRect& r) {
                const QRectF source((r.x() - face.x()) * ratio, (r.y() - face.y()) * ratio, r.width() * ratio,
                                    r.height() * ratio);
                p.drawImage(QRectF(r), fill, source);
            };
            p.save();
            p.setCompositionMode(QPainter::CompositionMode_Plus);
            band(face.adjusted(corner, 0, -corner, 0));
            band(QRect(face.left(), face.top() + corner, corner, face.height() - 2 * corner));
            band(QRect(face.right() - corner + 1, face.top() + corner, corner, face.height() - 2 * corner));
            p.restore();
            // A legend that would not stand out from its lit cap is inked over it (as the light layer
            // does it).
            if (const QImage* shade = legendShadeOf(index, button, *light)) {
                p.drawImage(QPoint(0, 0), *shade);
            }
        });
        if ((index >= 0 && index < kKeyButtonCount) || index == kFnButton) {
            b->installEventFilter(this);
        }
    }
    QWidget* parent = nullptr;
    for (ui::CPngButton* b : buttons) {
        if (b != nullptr) {
            parent = b->parentWidget();
            break;
        }
    }
    if (layer_ && layer_->parentWidget() != parent) {
        delete layer_.data();
    }
    if (!layer_ && parent != nullptr) {
        layer_ = new KeyLightLayer(*parent);
    }
    if (layer_) {
        layer_->setButtons(buttons);
    }
    kickPreview(false);
}

const QImage* LightingPanel::legendShadeOf(int index, const ui::CPngButton& button, Rgb light) {
    QPoint origin;
    const QPixmap* picture = button.plainFace(origin);
    if (picture == nullptr) {
        return nullptr; // a tint or a caption: more than its picture, no legend to find
    }
    FaceLegend& f = legends_[static_cast<size_t>(index)];
    if (f.picture != picture->cacheKey() || f.origin != origin) {
        f = FaceLegend{picture->cacheKey(), origin,
                       findKeyLegend(picture->toImage(), QRect(origin, button.size())), LegendInk::Printed,
                       QImage()};
    }
    const LegendInk ink =
        f.legend.empty() ? LegendInk::Printed : legendInk(f.legend.cap, f.legend.ink, light);
    if (ink == LegendInk::Printed) {
        return nullptr;
    }
    if (ink != f.shadeInk) {
        f.shade = legendShade(f.legend, ink);
        f.shadeInk = ink;
    }
    return &f.shade;
}

const QImage& LightingPanel::lightPicture(QSize size, qreal ratio, const QColor& colour) {
    const QSize pixels(static_cast<int>(std::ceil(size.width() * ratio)),
                       static_cast<int>(std::ceil(size.height() * ratio)));
    LightPicture& l = lightPictures_[{pixels.width(), pixels.height()}];
    if (l.picture.size() != pixels || l.picture.devicePixelRatio() != ratio) {
        l.picture = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        l.picture.setDevicePixelRatio(ratio);
        l.colour = QColor();
    }
    if (l.colour != colour) {
        l.picture.fill(colour);
        l.colour = colour;
    }
    return l.picture;
}

// ---- Requests to the worker ----

void LightingPanel::post(Op op, bool restartsPreview) {
    launch([op = std::move(op)] { return op; }, restartsPreview);
}

void LightingPanel::postCoalesced(int key, Op op) {
    bool queued = false;
    {
        std::lock_guard lock(shared_->mutex);
        queued = shared_->latest.count(key) != 0;
        shared_->latest[key] = std::move(op);
    }
    if (queued) {
        return; // the queued request takes the new value when it runs
    }
    launch(
        [shared = shared_, key] {
            std::lock_guard lock(shared->mutex);
            auto it = shared->latest.find(key);
            if (it == shared->latest.end()) {
                return Op{};
            }
            Op latest = std::move(it->second);
            shared->latest.erase(it);
            return latest;
        },
        false);
}

void LightingPanel::launch(std::function<Op()> take, bool restartsPreview) {
    const uint64_t seq = ++posted_;
    ++pending_;
    QPointer<LightingPanel> self(this);
    LightingState* state = &state_;
    post_([self, state, take = std::move(take), seq, restartsPreview] {
        if (Op op = take()) {
            op(*state);
        }
        auto snap = std::make_shared<Snapshot>();
        snap->seq = seq;
        snap->restartsPreview = restartsPreview;
        snap->view = state->view();
        const auto codes = state->modes().codes();
        snap->modes.assign(codes.begin(), codes.end());
        snap->params = state->previewParams();
        std::copy(
            snap->params.keyColours.begin(),
            snap->params.keyColours.begin() +
                static_cast<std::ptrdiff_t>(std::min(snap->params.keyColours.size(), snap->colours.size())),
            snap->colours.begin());
        snap->params.keyColours = {};
        // The application outlives the worker; the panel may not.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, snap = std::shared_ptr<const Snapshot>(std::move(snap))] {
                if (self) {
                    self->received(snap);
                }
            },
            Qt::QueuedConnection);
    });
}

void LightingPanel::received(const std::shared_ptr<const Snapshot>& snap) {
    --pending_;
    if (snap->seq != posted_) {
        return; // a later request is on its way; its answer includes this one
    }
    const bool wasOn = view_.panelOn;
    view_ = snap->view;
    modeCodes_ = snap->modes;
    params_ = snap->params;
    colours_ = snap->colours;
    params_.keyColours = colours_;
    draw();
    if (!view_.panelOn) {
        clearShown();
    }
    kickPreview(snap->restartsPreview);
    if (wasOn && !view_.panelOn) {
        emit panelTurnedOff();
    }
    emit viewChanged();
}

// ---- Drawing the view ----

void LightingPanel::draw() {
    drawing_ = true;
    drawModeList();

    brightness_->setPosition(view_.brightnessPosition);
    if (!view_.brightnessPicture.empty()) {
        brightness_->setPicture(picture(view_.brightnessPicture));
    }
    speed_->setPosition(view_.speedPosition);
    if (!view_.speedPicture.empty()) {
        speed_->setPicture(picture(view_.speedPicture));
    }
    placeDirectionControls();
    direction1_->setPicture(picture(view_.direction1Picture));
    direction0_->setPicture(picture(view_.direction0Picture));

    const int effect = static_cast<int>(toColorRef(view_.effectColour));
    effectColour_->setColor(effect);
    fixedColour_->setColor(effect);
    random_->setPicture(picture(view_.randomPicture));
    for (size_t k = 0; k < presets_.size(); ++k) {
        presets_[k]->setPicture(picture(view_.presetPictures[k]));
    }
    panelOn_->setPicture(picture(view_.panelOnPicture));
    panelOff_->setPicture(picture(view_.panelOffPicture));

    paintColour_->setColor(static_cast<int>(toColorRef(view_.user.paintColour)));
    baseColour_->setColor(static_cast<int>(toColorRef(view_.user.baseColour)));
    brush0_->setPicture(picture(view_.user.brush0Picture));
    brush1_->setPicture(picture(view_.user.brush1Picture));
    drawSlotList();

    for (int id : kLightingControls) {
        controls_.at(id)->setVisible(view_.visible.contains(id));
    }
    drawPanelOffText();
    offText_->setVisible(!view_.panelOn);
    drawing_ = false;
}

void LightingPanel::drawModeList() {
    const int language = ui::uiTexts().language();
    bool same = language == language_ && modeList_->count() == static_cast<int>(modeCodes_.size());
    for (int i = 0; same && i < modeList_->count(); ++i) {
        same = modeList_->itemData(i).toInt() == modeCodes_[static_cast<size_t>(i)];
    }
    if (!same) {
        language_ = language;
        modeList_->clear();
        for (uint8_t code : modeCodes_) {
            modeList_->addItem(qs(modeName(layout_, language, code)), int{code});
        }
    }
    modeList_->setCurrentIndex(view_.modeIndex < modeList_->count() ? view_.modeIndex : -1);
}

void LightingPanel::drawSlotList() {
    if (editedName_) {
        return; // the user is typing a name; it is written when the edit is finished
    }
    const auto& names = view_.user.slotNames;
    bool same = slotList_->count() == static_cast<int>(names.size());
    for (int i = 0; same && i < slotList_->count(); ++i) {
        same = slotList_->itemText(i) == qs(names[static_cast<size_t>(i)]);
    }
    if (!same) {
        slotList_->clear();
        for (const std::u16string& n : names) {
            slotList_->addItem(qs(n));
        }
    }
    slotList_->setCurrentIndex(view_.user.slot);
}

void LightingPanel::placeDirectionControls() {
    const std::array<QWidget*, 3> controls{controls_.at(control::kDirectionCaption), direction1_,
                                           direction0_};
    for (size_t i = 0; i < controls.size(); ++i) {
        ui::moveControl(*controls[i], layout_, toUtf16(view_.directionKeys[i]));
    }
}

void LightingPanel::retranslate() {
    const int language = ui::uiTexts().language();
    const std::u16string_view keys[] = {u"Color", u"JColor", u"Tool", u"ETool"};
    for (size_t i = 0; i < userCaptions_.size(); ++i) {
        userCaptions_[i]->setText(qs(captionText(layout_, language, keys[i])));
    }
    const QString automatic = languageText(pictureFolder_, "LIGHT_AUTOMATIC");
    for (ui::CSkinColorBtn* b : {effectColour_, fixedColour_, paintColour_, baseColour_}) {
        b->setAutomaticText(automatic.isEmpty() ? QStringLiteral("Automatic") : automatic);
    }
    language_ = -1; // the mode names are read again at the next draw
    drawing_ = true;
    drawModeList();
    drawing_ = false;
    drawPanelOffText();
}

void LightingPanel::drawPanelOffText() {
    offTextStale_ = !host_.window()->isVisible();
    if (offTextStale_) {
        return; // drawn when the window shows
    }
    const QString hint = languageText(pictureFolder_, "LIGHTING_OFF_HINT").toHtmlEscaped();
    QString html;
    // The effect is named when the keyboard lists it; an unlisted code has no name worth showing.
    if (view_.modeIndex >= 0) {
        const QString effect = qs(modeName(layout_, ui::uiTexts().language(), view_.mode));
        html += QStringLiteral("<div style=\"font-size:14pt; font-weight:600; color:#e4e6ea;\">%1</div>")
                    .arg(languageText(pictureFolder_, "LIGHTING_OFF_EFFECT", effect).toHtmlEscaped());
    }
    html +=
        QStringLiteral("<div style=\"font-size:10pt; color:#8f959e; margin-top:8px;\">%1</div>").arg(hint);
    offText_->setText(html);
}

// ---- The preview ----

bool LightingPanel::previewAllowed() const {
    const QWidget* w = host_.window();
    return view_.panelOn && view_.previewRunning && view_.keys != KeyLook::Plain && w->isVisible() &&
           !(w->windowState() & Qt::WindowMinimized);
}

void LightingPanel::kickPreview(bool reset) {
    if (reset) {
        engine_.reset(view_.mode);
    }
    if (view_.keys == KeyLook::Plain || !view_.panelOn) {
        clearShown();
    }
    if (!previewAllowed()) {
        previewTimer_.stop();
        showLayer(false);
        return;
    }
    pacer_.restart();
    previewTick();
}

void LightingPanel::previewTick() {
    if (!previewAllowed()) {
        previewTimer_.stop();
        showLayer(false);
        return;
    }
    bool changed = false;
    const bool stored = view_.keys == KeyLook::StoredColours;
    const auto drawn = engine_.frame(params_, [&](const PreviewFrame& f) {
        for (int i = 0; i < kPreviewKeys; ++i) {
            std::optional<Rgb> c;
            if (f.tinted) {
                c = f.colours[static_cast<size_t>(i)];
            }
            changed = (shown_[static_cast<size_t>(i)] != c) || changed;
            setShown(i, c);
        }
    });
    if (drawn != PreviewEngine::FrameResult::Drawn) {
        return;
    }
    // The frames cover the 104 keys; in the user mode Fn shows its stored colour too.
    std::optional<Rgb> fn;
    if (stored) {
        const size_t at = static_cast<size_t>(kFnLedPosition) * 3;
        fn = Rgb{colours_[at], colours_[at + 1], colours_[at + 2]};
    }
    changed = (shown_[static_cast<size_t>(kFnButton)] != fn) || changed;
    setShown(kFnButton, fn);
    ++framesDrawn_;
    if (pacer_.keepRunning(modeInfo(view_.mode).preview, changed)) {
        if (!previewTimer_.isActive()) {
            previewTimer_.start();
        }
        showLayer(true);
        if (layerShows()) {
            layer_->showFrame(shown_);
        }
    } else {
        previewTimer_.stop();
        showLayer(false);
    }
}

bool LightingPanel::layerShows() const {
    return layer_ && !layer_->isHidden();
}

void LightingPanel::showLayer(bool on) {
    if (!layer_ || on == layerShows()) {
        return;
    }
    if (on) {
        layer_->relayout();
        if (!layer_->coversAny()) {
            return;
        }
    }
    // Hidden, the layer leaves the buttons under it to be painted again, each with its light.
    layer_->setVisible(on);
    if (!on) {
        layer_->release();
    }
}

void LightingPanel::setShown(int button, std::optional<Rgb> colour) {
    auto& shown = shown_[static_cast<size_t>(button)];
    if (shown == colour) {
        return;
    }
    shown = colour;
    // Only a button whose light changed is repainted.
    if (ui::CPngButton* b = buttons_[static_cast<size_t>(button)];
        b && !(layerShows() && layer_->covers(button))) {
        b->update();
    }
}

void LightingPanel::clearShown() {
    showLayer(false);
    for (int i = 0; i < kLitButtonCount; ++i) {
        setShown(i, std::nullopt);
    }
}

std::optional<Rgb> LightingPanel::shownColour(int button) const {
    if (button < 0 || button >= kLitButtonCount) {
        return std::nullopt;
    }
    return shown_[static_cast<size_t>(button)];
}

// ---- Painting ----

Rgb LightingPanel::brushColour() const {
    return view_.user.brush == kBaseBrush ? view_.user.baseColour : view_.user.paintColour;
}

void LightingPanel::paintKey(int button) {
    if (!view_.keyClicksPaint) {
        return;
    }
    stroke_.clear();
    strokeAdd(button);
    strokeEnd();
}

void LightingPanel::strokeAdd(int button) {
    const bool paintable = (button >= 0 && button < kKeyButtonCount) || button == kFnButton;
    const bool brush = view_.user.brush == kPaintBrush || view_.user.brush == kBaseBrush;
    if (!paintable || !brush || std::find(stroke_.begin(), stroke_.end(), button) != stroke_.end()) {
        return;
    }
    stroke_.push_back(button);
    // Shown at once; the file and the keyboard follow at the end of the stroke.
    const Rgb c = brushColour();
    const size_t at = static_cast<size_t>(ledOfButton(button)) * 3;
    colours_[at] = c.r;
    colours_[at + 1] = c.g;
    colours_[at + 2] = c.b;
    setShown(button, c);
}

void LightingPanel::strokeEnd() {
    stroking_ = false;
    if (stroke_.empty()) {
        return;
    }
    std::vector<int> buttons = std::move(stroke_);
    stroke_.clear();
    QPointer<LightingPanel> self(this);
    post([buttons, self](LightingState& s) {
        auto step = std::make_shared<const LightingState::PaintStep>(s.paintStroke(buttons));
        if (!step->after.empty()) {
            report(self, [step](LightingState& st, bool forward) { st.restorePaint(*step, forward); });
        }
    });
}

void LightingPanel::report(QPointer<LightingPanel> self, Restore restore) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self, restore = std::move(restore)] {
            if (self && self->stepListener_) {
                self->stepListener_(restore);
            }
        },
        Qt::QueuedConnection);
}

void LightingPanel::request(Request op) {
    post(std::move(op), true);
}

int LightingPanel::paintableButtonAt(const QPoint& globalPos) const {
    for (int i = 0; i < kLitButtonCount; ++i) {
        if (i >= kKeyButtonCount && i != kFnButton) {
            continue;
        }
        const ui::CPngButton* b = buttons_[static_cast<size_t>(i)];
        if (b != nullptr && b->isVisible() && b->rect().contains(b->mapFromGlobal(globalPos))) {
            return i;
        }
    }
    return -1;
}

bool LightingPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == host_.window()) {
        switch (event->type()) {
        case QEvent::Show:
            whenShown();
            kickPreview(false);
            break;
        case QEvent::Hide:
        case QEvent::WindowStateChange:
            // Hidden or minimised: no frames. Shown again: the picture is brought up to date.
            kickPreview(false);
            break;
        default:
            break;
        }
        return false;
    }
    if (watched == modeList_ || watched == slotList_) {
        // A wheel over a closed list would step through its entries, writing each to the keyboard; in
        // the opened list the wheel only scrolls.
        if (event->type() == QEvent::Wheel) {
            return true;
        }
        // The arrows would step through the effects the same way.
        if (watched == modeList_ &&
            (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
        }
        return false;
    }
    // A key button or Fn while clicks paint: a press starts a stroke, dragging across keys paints them,
    // the release ends it with one upload. The button never sees the click, so no dialog opens.
    if (!view_.keyClicksPaint && !stroking_) {
        return false;
    }
    int index = -1;
    for (int i = 0; i < kLitButtonCount; ++i) {
        if (buttons_[static_cast<size_t>(i)] == watched) {
            index = i;
            break;
        }
    }
    if (index < 0) {
        return false;
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto* m = static_cast<QMouseEvent*>(event);
        if (m->button() != Qt::LeftButton) {
            return false;
        }
        stroke_.clear();
        stroking_ = true;
        strokeAdd(index);
        return true;
    }
    case QEvent::MouseMove: {
        const auto* m = static_cast<QMouseEvent*>(event);
        if (stroking_ && (m->buttons() & Qt::LeftButton)) {
            if (int b = paintableButtonAt(m->globalPosition().toPoint()); b >= 0) {
                strokeAdd(b);
            }
            return true;
        }
        return false;
    }
    case QEvent::MouseButtonRelease: {
        const auto* m = static_cast<QMouseEvent*>(event);
        if (m->button() == Qt::LeftButton && stroking_) {
            strokeEnd();
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

// ---- Requests from the main window ----

void LightingPanel::refresh() {
    request({});
}

void LightingPanel::reload() {
    post([](LightingState& s) { s.readLighting(); }, true);
}

void LightingPanel::scheduleReload() {
    reloadTimer_.start();
}

void LightingPanel::switchProfile(int profile) {
    request([profile](LightingState& s) { s.switchProfile(profile); });
}

} // namespace tarvik::lighting
