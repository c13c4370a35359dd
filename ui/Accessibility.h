// What assistive technology (a screen reader over the desktop's accessibility bus) learns about the
// skinned controls that Qt cannot work out by itself: the picture slider's role and value, and spoken
// announcements of results that are otherwise only drawn.
#pragma once

#include <QString>

class QWidget;

namespace tarvik::ui {

// Registers the interfaces of the skinned controls with Qt; called once before the first window.
void installAccessibleControls();

// An image button that is one choice of several: a radio button to the reader, checked while selected.
// Before the button is first shown.
void markAsChoice(QWidget& button);

// Tells assistive technology the text as an alert of the window that shows the result.
void announce(QWidget& window, const QString& text);

} // namespace tarvik::ui
