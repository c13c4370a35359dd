#include "ui/HistoryKeys.h"

#include <QKeyEvent>

namespace tarvik::ui {

std::optional<bool> historyStep(const QKeyEvent& event) {
    // Keypad and Alt variants are not ours; only the plain chords count.
    const Qt::KeyboardModifiers mods =
        event.modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    if (event.key() == Qt::Key_Z && mods == Qt::ControlModifier) {
        return false;
    }
    if ((event.key() == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier)) ||
        (event.key() == Qt::Key_Y && mods == Qt::ControlModifier)) {
        return true;
    }
    return std::nullopt;
}

} // namespace tarvik::ui
