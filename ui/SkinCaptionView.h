// One word of a skinned window that its pictures no longer carry (an entry of the skin's "CAPTIONS"),
// drawn as a small widget of its own above the window's controls: titles and labels lie over image buttons
// and picture controls, which would otherwise cover them. Every mouse event passes through it to what lies
// underneath. The window creates, places, shows and hides it (CBaseDialog); the view only draws its text.
#pragma once

#include "ui/SkinCaptions.h"

#include <QString>
#include <QWidget>

namespace tarvik::ui {

class SkinCaptionView : public QWidget {
    Q_OBJECT

public:
    SkinCaptionView(SkinCaption caption, QWidget& window);

    const SkinCaption& caption() const { return caption_; }

    // The words in the active language; blank words draw nothing.
    void setText(const QString& words);
    const QString& text() const { return words_; }
    // The factor the window is drawn at: the font follows it.
    void setScale(double scale);
    // The look of a disabled control's caption.
    void setDimmed(bool dimmed);
    bool dimmed() const { return dimmed_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SkinCaption caption_;
    QString words_;
    double scale_ = 1.0;
    bool dimmed_ = false;
};

} // namespace tarvik::ui
