// The macro memory meter under the action list: a bar for the share of the keyboard's macro memory the
// macros will take, and a line of text; amber when the names will have to go, red when the macros will
// not fit at all.
#pragma once

#include "macros/MacroMemoryMeter.h"

#include <QString>
#include <QStringList>
#include <QWidget>

namespace tarvik::macros {

class MacroMemoryBar final : public QWidget {
    Q_OBJECT

public:
    explicit MacroMemoryBar(QWidget* parent = nullptr);

    void setMeter(const MacroMemoryMeter& meter, const QString& text);
    const MacroMemoryMeter& meter() const { return meter_; }
    const QString& text() const { return text_; }
    // The colour of the bar and the text for the meter's state.
    static QColor stateColour(MacroMemoryState state);
    // The text as drawn: its paragraphs broken to the width, at most maxLines, the last one elided when
    // the rest does not fit.
    static QStringList wrappedLines(const QString& text, const QFont& font, double width, int maxLines);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    MacroMemoryMeter meter_;
    QString text_;
};

} // namespace tarvik::macros
