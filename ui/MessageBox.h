// The program's message box: Qt's box in the program's dark style, with a sign drawn in the style's
// colours instead of the platform's old icons, plain text (a text such as "<Default Profile>" is not
// markup), and buttons named in the current language.
#pragma once

#include <QMessageBox>
#include <QPixmap>
#include <QString>

class QWidget;

namespace tarvik::ui {

enum class BoxKind { Information, Question, Warning };

// The box, not shown yet: OK for a message, Yes and No for a question (Escape answers No). A question's
// default button is the caller's to choose. parent may be null (a top-level box).
QMessageBox* makeMessageBox(QWidget* parent, BoxKind kind, const QString& caption, const QString& text);

// The sign at the box's left: a filled circle with "i", "?" or "!", side pixels wide at the given device
// pixel ratio.
QPixmap messageSign(BoxKind kind, int side, qreal devicePixelRatio);

// The buttons' words: the language file's where it has them, the English ones otherwise.
QString okText();
QString yesText();
QString noText();
QString cancelText();

} // namespace tarvik::ui
