// The image button of the skinned dialogs: it shows the part of a whole-dialog state picture that lies
// under it, chosen by its state, with optional caption text, frame, tint and tooltip. The button keeps
// its own (shared, reference-counted) copies of the pictures, so a dialog may reload its picture sets at
// any time.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QMargins>
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

namespace tarvik::ui {

class CPngButton : public QAbstractButton {
    Q_OBJECT

public:
    enum class Picture { None, Normal, Hover, Pressed, Disabled, Selected, TwoStateOff, TwoStateOn };

    // Win32 DrawText format bits understood by the caption.
    static constexpr int kDtCenter = 0x01, kDtRight = 0x02, kDtVCenter = 0x04, kDtBottom = 0x08,
                         kDtWordBreak = 0x10, kDtSingleLine = 0x20;
    static constexpr int kDefaultFormat = kDtCenter | kDtVCenter | kDtSingleLine; // 37
    static constexpr int kTooltipDelayMs = 2000;
    // A disabled button's caption keeps this share of its colour's opacity.
    static constexpr double kDisabledCaptionAlpha = 0.38;

    // Called after each paint with the painter still open and whether the normal picture was shown.
    using AfterPaint = std::function<void(CPngButton& button, QPainter& painter, bool normalShown)>;

    explicit CPngButton(QWidget* parent = nullptr);

    // The state pictures are whole-dialog pictures. (x, y) is the button's rectangle origin in layout
    // coordinates, which count from 1: the button shows each picture from (x - 1, y - 1).
    void setPictures(int x, int y, const QPixmap& normal, const QPixmap& hover, const QPixmap& pressed,
                     const QPixmap& disabled, const QPixmap& selected);
    // The same from a dialog's picture set; a null pointer is no picture.
    void setPictures(int x, int y, const QPixmap* normal, const QPixmap* hover, const QPixmap* pressed,
                     const QPixmap* disabled, const QPixmap* selected);
    void setPictureOffset(int x, int y);
    // Whether the button has a normal picture to show.
    bool hasPictures() const { return !normal_.isNull(); }
    QPoint pictureOffset() const { return offset_; }

    // The factor the dialog is drawn at (below 1 when it was scaled down to fit the screen): the button
    // covers width() / scale layout pixels of its pictures.
    void setSkinScale(double scale);
    double skinScale() const { return scale_; }

    // Two-state use: the pair replaces every other picture except the disabled one.
    void setTwoStatePictures(const QPixmap& off, const QPixmap& on);
    void setTwoStatePictures(const QPixmap* off, const QPixmap* on);
    void setTwoStateMode(bool on);
    bool twoStateMode() const { return twoStateMode_; }
    void setTwoStateValue(bool value);
    bool twoStateValue() const { return twoStateValue_; }

    void setSelected(bool selected);
    bool isSelected() const { return selected_; }
    // Drawn pressed whatever the mouse and the focus do (a key whose dialog is open).
    void setLatched(bool latched);
    bool isLatched() const { return latched_; }
    // The hover flag, set by the first mouse move over the button and cleared when the mouse leaves.
    void setHover(bool hover);
    bool isHover() const { return hover_; }

    // Caption: the button's text drawn on top of the picture.
    void setCaptionStyle(bool on, double pointSize = 8, const QString& face = QStringLiteral("Tahoma"),
                         const QColor& colour = QColor(0, 0, 0), int format = kDefaultFormat);
    void setCaptionBold(bool bold);
    // Rotation in tenths of a degree, counter-clockwise.
    void setCaptionRotation(int tenths);
    void setCaptionOffsets(int left, int top, int right, int bottom);
    bool captionOn() const { return captionOn_; }
    const QFont& captionFont() const { return captionFont_; }

    // A 2-pixel frame in the colour instead of the picture.
    void setFrameMode(bool on, const QColor& colour = QColor());

    // Shown after the pointer has rested on the button for the tip delay (kTooltipDelayMs), also when
    // the text is set while the pointer is already there. QWidget::setToolTip does the same.
    void setTipText(const QString& text);
    const QString& tipText() const { return tip_; }
    void setTipDelay(int ms);

    // The 2-pixel ring that marks the focused button while it was reached by keyboard (a click leaves
    // the mouse flow's look unchanged).
    static constexpr int kFocusRingWidth = 2;
    bool showsFocusRing() const;

    void setAfterPaint(AfterPaint callback) { afterPaint_ = std::move(callback); }
    // The colour a screen reader gives after the button's description (0x00BBGGRR), asked at reading
    // time; an empty answer or no callback: no colour.
    using SpokenColour = std::function<std::optional<int>()>;
    void setSpokenColour(SpokenColour callback) { spokenColour_ = std::move(callback); }
    std::optional<int> spokenColour() const { return spokenColour_ ? spokenColour_() : std::nullopt; }

    // The lighting preview: the colour laid over the picture with the given alpha (0-255).
    void setTint(const QColor& colour, int alpha);
    void clearTint();
    bool hasTint() const { return tint_.isValid(); }

    // The picture the button shows now.
    Picture currentPicture() const;
    // The picture a disabled button shows looks like one of its active pictures (a skin that gives the
    // pressed picture for the disabled state): it is then drawn dimmed, so that it never looks active.
    // A button with one picture for every state (a display) is never dimmed.
    bool dimsDisabledPicture() const;
    // Whether the picture of every state it can show covers its whole face with opaque pixels. Such a
    // button is painted without anything under it being painted first (Qt::WA_OpaquePaintEvent): the
    // lighting preview repaints a hundred key buttons twenty times a second.
    bool picturesCoverFace() const;
    // The picture the button shows now, when its face is a part of that picture and nothing else (no
    // frame, tint, caption or dimming, drawn at its own size); null otherwise. origin: where the face
    // starts in the picture. The after-paint callback is not part of the face.
    const QPixmap* plainFace(QPoint& origin) const;
    // Draws the button as its paint event does, with the painter's origin at the button's top left. The
    // lighting preview paints a hundred buttons this way in one pass instead of a paint event each.
    void paintFace(QPainter& painter);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void updateOpaque();
    const QPixmap& pictureFor(Picture p) const;
    void drawCaption(QPainter& p);
    void showTip();

    QPixmap normal_;
    QPixmap hoverPic_;
    QPixmap pressed_;
    QPixmap disabled_;
    QPixmap selectedPic_;
    QPixmap twoStateOff_;
    QPixmap twoStateOn_;
    QPoint offset_{1, 1};
    double scale_ = 1.0;
    bool hover_ = false;
    bool selected_ = false;
    bool latched_ = false;
    bool twoStateMode_ = false;
    bool twoStateValue_ = false;

    bool captionOn_ = false;
    QFont captionFont_;
    QColor captionColour_{0, 0, 0};
    int captionFormat_ = kDefaultFormat;
    int rotation_ = 0;
    QMargins textOffsets_;

    bool frameMode_ = false;
    QColor frameColour_;
    QColor tint_;

    QString tip_;
    QTimer tipTimer_;
    bool keyboardFocus_ = false;
    AfterPaint afterPaint_;
    SpokenColour spokenColour_;
};

} // namespace tarvik::ui
