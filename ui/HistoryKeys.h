// The keys of undo and redo in every window that edits: Ctrl+Z takes the last step back, Ctrl+Shift+Z and
// Ctrl+Y do it again.
#pragma once

#include <optional>

class QKeyEvent;

namespace tarvik::ui {

// false: undo, true: redo, nothing: another key.
std::optional<bool> historyStep(const QKeyEvent& event);

} // namespace tarvik::ui
