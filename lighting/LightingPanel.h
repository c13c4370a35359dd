// The lighting panel of the main window: the controls of the lighting modes and of the user mode, placed
// from the main layout file, the live preview on the key buttons (timer 1052) and per-key painting.
//
// Threads: every LightingState operation runs on the device worker, so a lighting write never holds the
// window; the worker hands back a copy of what to show, and the window draws it on its own thread. Once the
// panel exists, the LightingState is only touched through the panel. A stream of changes to one value (a
// slider drag) is coalesced: a change that finds the previous one still queued replaces it, so the keyboard
// gets the latest value without a backlog. Only the answer to the latest request is drawn, so a drag never
// bounces back to an older value.
#pragma once

#include "lighting/Colour.h"
#include "lighting/KeyButtons.h"
#include "lighting/KeyColorTable.h"
#include "lighting/KeyLegend.h"
#include "lighting/LightingState.h"
#include "lighting/LightingView.h"
#include "lighting/Preview.h"
#include "lighting/PreviewPacer.h"
#include "platform/IniFile.h"

#include <QColor>
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

class QComboBox;
class QLabel;
class QWidget;

namespace tarvik::ui {
class CBitmapSlider;
class CPngButton;
class CSkinColorBtn;
} // namespace tarvik::ui

namespace tarvik::lighting {

class KeyLightLayer;
class PictureButton;

class LightingPanel : public QObject {
    Q_OBJECT

public:
    using PostToWorker = std::function<void(std::function<void()>)>;
    // Runs the main window's profile-switch check before the panel turns on; calls proceed when the
    // check agreed (it may ask to save pending edits first), never when it declined.
    using PanelOnCheck = std::function<void(std::function<void()> proceed)>;

    static constexpr int kPreviewTimerId = 1052;
    static constexpr int kPreviewIntervalMs = 50;
    static constexpr int kReloadTimerId = 1051;
    // The generated slider pictures draw the ends of their track this far in from each side.
    static constexpr int kSliderTrackInset = 10;

    // host: the main window, parent of every control (and of the panel when no parent is given). state must
    // outlive the panel and every task posted for it (the main window stops its worker before the state
    // goes). The controls are created and placed
    // here; nothing is read from the keyboard until reload().
    LightingPanel(QWidget& host, std::filesystem::path mainLayoutFile, std::filesystem::path pictureFolder,
                  LightingState& state, PostToWorker postToWorker, QObject* parent = nullptr);
    ~LightingPanel() override;

    // The buttons the preview tints and the user mode paints, by button index (KeyButtons.h: the 104 key
    // buttons, G1..G9, Fn); null where there is none. The panel draws the light through each button's
    // after-paint callback and takes the presses of the key buttons and Fn while clicks paint.
    void attachKeyButtons(std::span<ui::CPngButton* const> buttons);

    // Each change the user can undo (a stroke that painted keys, a slot selected or renamed), once the
    // worker has made it, as the work that takes it back (forward false) or does it again: the main
    // window's history keeps it.
    using Restore = std::function<void(LightingState&, bool forward)>;
    using StepListener = std::function<void(Restore)>;
    void setStepListener(StepListener listener) { stepListener_ = std::move(listener); }
    // Any change to the lighting state (a restore, a profile switch, the keyboard's arrival, restore
    // defaults), run on the worker; the panel is drawn as it leaves the state.
    using Request = std::function<void(LightingState&)>;
    void request(Request op);

    // Draws what the lighting state holds, reading nothing from the keyboard.
    void refresh();
    // Start-up and after a profile reload: the state read from the keyboard and drawn.
    void reload();
    // Timer 1051: a lighting change made on the keyboard; the panel is read again once the event loop
    // turns (several requests in a row read once).
    void scheduleReload();
    // A profile button: the new profile's lighting; a panel that was on turns off.
    void switchProfile(int profile);
    // After a language switch: the mode names and the captions.
    void retranslate();
    void setPanelOnCheck(PanelOnCheck check) { panelOnCheck_ = std::move(check); }

    // The main window's click rule takes this as its user lighting mode.
    bool keyClicksPaint() const { return view_.keyClicksPaint; }
    // A click routed by the main window's click rule (a key button or Fn, by button index).
    void paintKey(int button);

    const LightingView& view() const { return view_; }
    bool previewRunning() const { return previewTimer_.isActive(); }
    // Requests handed to the worker whose answer has not come back yet.
    int pending() const { return pending_; }
    // The colour a button is lit with now, if any.
    std::optional<Rgb> shownColour(int button) const;
    // Preview frames drawn since the panel was made (for tests and the benchmark).
    uint64_t framesDrawn() const { return framesDrawn_; }
    // A control of the panel by control id; null for an id the panel does not have.
    QWidget* control(int controlId) const;

signals:
    // A new view has been drawn.
    void viewChanged();
    // The panel went off (its off button or a profile switch): the main window returns to function-keys
    // mode and the key buttons show their assignments again.
    void panelTurnedOff();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using Op = std::function<void(LightingState&)>;
    struct Snapshot;
    struct Shared;

    void buildControls();
    void connectControls();
    QPixmap picture(std::string_view name);
    template <typename W> W* place(W* widget, int id, const char* key);

    // Hands op to the worker; with a key, a queued op of the same key is replaced instead.
    void post(Op op, bool restartsPreview = false);
    void postCoalesced(int key, Op op);
    void launch(std::function<Op()> take, bool restartsPreview);
    void received(const std::shared_ptr<const Snapshot>& snapshot);
    void draw();
    void drawModeList();
    void drawSlotList();
    void commitSlotName();
    // From the worker: a step for the listener, handed over on the user-interface thread.
    static void report(QPointer<LightingPanel> self, Restore restore);
    void drawPanelOffText();
    // What waits for the window's first show: the slot list's name field and the panel-off text.
    void whenShown();
    void placeDirectionControls();

    // The preview.
    bool previewAllowed() const;
    void kickPreview(bool reset);
    void previewTick();
    void setShown(int button, std::optional<Rgb> colour);
    void clearShown();
    bool layerShows() const;
    void showLayer(bool on);
    Rgb brushColour() const;

    // A picture of the face size filled with the light colour, to add onto a key (one per size in
    // device pixels, filled again only when the colour changes).
    const QImage& lightPicture(QSize size, qreal ratio, const QColor& colour);
    // The ink to lay over the legend on the button's face now under `light`, the legend found once per
    // face picture; null when the printed legend stands out.
    const QImage* legendShadeOf(int index, const ui::CPngButton& button, Rgb light);

    // Painting strokes.
    int paintableButtonAt(const QPoint& globalPos) const;
    void strokeAdd(int button);
    void strokeEnd();

    QWidget& host_;
    std::filesystem::path layoutFile_;
    std::filesystem::path pictureFolder_;
    IniFile layout_;
    LightingState& state_;
    PostToWorker post_;
    std::shared_ptr<Shared> shared_;
    PanelOnCheck panelOnCheck_;

    std::map<std::string, QPixmap, std::less<>> pictures_;
    std::map<int, QWidget*> controls_;
    std::vector<QPointer<QWidget>> made_; // every control it placed on the host
    QComboBox* modeList_ = nullptr;
    QComboBox* slotList_ = nullptr;
    ui::CBitmapSlider* brightness_ = nullptr;
    ui::CBitmapSlider* speed_ = nullptr;
    PictureButton* panelOn_ = nullptr;
    PictureButton* panelOff_ = nullptr;
    PictureButton* direction1_ = nullptr;
    PictureButton* direction0_ = nullptr;
    PictureButton* random_ = nullptr;
    std::array<PictureButton*, 4> presets_{};
    PictureButton* brush0_ = nullptr;
    PictureButton* brush1_ = nullptr;
    ui::CSkinColorBtn* effectColour_ = nullptr;
    ui::CSkinColorBtn* fixedColour_ = nullptr;
    ui::CSkinColorBtn* paintColour_ = nullptr;
    ui::CSkinColorBtn* baseColour_ = nullptr;
    std::array<QLabel*, 4> userCaptions_{}; // 1159, 1161, 1163, 1213
    std::optional<QString> editedName_;     // typed into the slot list and not yet written
    QLabel* offText_ = nullptr;
    bool offTextStale_ = false; // changed while the window was hidden

    LightingView view_;
    std::vector<uint8_t> modeCodes_;
    int language_ = -1;
    uint64_t posted_ = 0; // requests handed out; the answer to the latest one is drawn
    int pending_ = 0;
    bool drawing_ = false; // controls are being set from the view: their change signals are ours

    std::array<QPointer<ui::CPngButton>, kLitButtonCount> buttons_{};
    QPointer<KeyLightLayer> layer_; // paints the lit buttons in one pass while the preview animates
    std::array<std::optional<Rgb>, kLitButtonCount> shown_{};
    struct FaceLegend {
        qint64 picture = 0;
        QPoint origin;
        KeyLegend legend;
        LegendInk shadeInk = LegendInk::Printed;
        QImage shade;
    };
    std::array<FaceLegend, kLitButtonCount> legends_{};
    std::array<uint8_t, kColourTableSize> colours_{}; // the current profile's key colours, as last read
    PreviewParams params_;
    PreviewEngine engine_;
    PreviewPacer pacer_;
    QTimer previewTimer_;
    QTimer reloadTimer_;
    uint64_t framesDrawn_ = 0;
    struct LightPicture {
        QImage picture;
        QColor colour;
    };
    std::map<std::pair<int, int>, LightPicture> lightPictures_;

    std::vector<int> stroke_;
    StepListener stepListener_;
    bool stroking_ = false;
};

} // namespace tarvik::lighting
