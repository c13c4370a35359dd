// The colour-picker button of the lighting panel. Its value is a colour in the 0x00BBGGRR form, or -1
// for "automatic"; what it tells its users is always a colour: the automatic colour stands in for -1, so
// "automatic" can never reach the keyboard as white (0xFFFFFF, the low bytes of -1). Clicking it opens a
// pop-up with the automatic entry, a palette of 10 columns and "more", which asks a ColorChooser (the
// system colour dialog in the program, a script in tests).
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFrame>

#include <optional>
#include <span>
#include <vector>

namespace tarvik::ui {

// 0x00BBGGRR <-> QColor.
QColor fromColorRef(int colorRef);
int toColorRef(const QColor& colour);
// A 0x00BBGGRR colour as a reader says it: the nearest colour name in the current language and the
// colour itself, "red, #FF0000".
QString colourAsText(int colorRef);

class ColorChooser {
public:
    virtual ~ColorChooser() = default;
    // The chosen colour as 0x00BBGGRR, or nothing when the user cancelled.
    virtual std::optional<int> chooseColor(int initial, QWidget* parent) = 0;
};

// The system colour dialog.
class DialogColorChooser : public ColorChooser {
public:
    std::optional<int> chooseColor(int initial, QWidget* parent) override;
};

class CSkinColorBtn;

class CSkinColorPopup : public QFrame {
    Q_OBJECT

public:
    explicit CSkinColorPopup(CSkinColorBtn& owner);

    QAbstractButton* automaticEntry() const { return automatic_; }
    QAbstractButton* paletteEntry(int index) const;
    QAbstractButton* moreEntry() const { return more_; }

protected:
    void hideEvent(QHideEvent* event) override;

private:
    CSkinColorBtn& owner_;
    QAbstractButton* automatic_ = nullptr;
    QAbstractButton* more_ = nullptr;
    std::vector<QAbstractButton*> cells_;
};

class CSkinColorBtn : public QAbstractButton {
    Q_OBJECT

public:
    static constexpr int kAutomatic = -1;
    static constexpr int kPaletteColumns = 10;
    // The palette, row by row, as 0x00BBGGRR.
    static std::span<const int> palette();

    explicit CSkinColorBtn(QWidget* parent = nullptr);
    ~CSkinColorBtn() override;

    int color() const { return colour_; }
    void setColor(int colorRef);
    int automaticColor() const { return automatic_; }
    void setAutomaticColor(int colorRef);
    // The pop-up's word for the automatic colour, in the language of the moment.
    void setAutomaticText(const QString& text);
    const QString& automaticText() const { return automaticText_; }
    // What the button shows and what its users send: the automatic colour when the value is -1.
    int effectiveColor() const { return colour_ == kAutomatic ? automatic_ : colour_; }

    // Not owned; null uses the system colour dialog.
    void setColorChooser(ColorChooser* chooser) { chooser_ = chooser; }

    void openPopup();
    CSkinColorPopup* popup() const { return popup_; }

    // Called by the pop-up: a palette entry or automatic (-1) was picked, or "more" was chosen.
    void pick(int colorRef);
    void pickMore();

signals:
    // The user chose a colour: the chosen 0x00BBGGRR value, or the automatic colour when "automatic"
    // was chosen (color() then says -1). Never -1.
    void colorChosen(int colorRef);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    friend class CSkinColorPopup;
    void popupClosed();
    void describeColour();

    int colour_ = kAutomatic;
    int automatic_ = 0x000000FF; // red
    ColorChooser* chooser_ = nullptr;
    CSkinColorPopup* popup_ = nullptr;
    QString automaticText_ = QStringLiteral("Automatic");
};

} // namespace tarvik::ui
