// The program's message boxes: the Prompter of the windows. A text is named by its language key and shown
// in the current language, in the dark style of the skinned windows; a question has Yes and No with the
// given default and waits for the answer.
//
// A message with only an OK button does not wait: the caller's handler returns at once (a second start
// that asked for the window gets its answer, a worker's message never holds the window's loop in a nested
// one), and messages that come while one is on screen follow one after another.
#pragma once

#include "platform/Prompter.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <deque>
#include <map>
#include <string>

namespace tarvik::ui {

class SkinPrompter : public Prompter {
public:
    // parent: the window the boxes are modal to (may be null).
    explicit SkinPrompter(QWidget* parent = nullptr) : parent_(parent) {}

    void show(std::string_view languageKey) override;
    bool askYesNo(std::string_view languageKey, bool defaultYes) override;
    Answer askYesNoCancel(std::string_view languageKey) override;
    // A text that is already made (a language text with its argument filled in).
    void showText(const QString& text, const QString& caption = {});

    // The window caption of the box of a key; empty (the default) for most.
    void setCaption(std::string key, QString caption) { captions_[std::move(key)] = std::move(caption); }
    QString captionOf(std::string_view key) const;

    // The box on screen, if any (tests read and close it).
    QWidget* shownBox() const { return shown_; }
    size_t waiting() const { return queue_.size(); }

private:
    void showNext();

    QPointer<QWidget> parent_;
    std::map<std::string, QString, std::less<>> captions_;
    std::deque<std::pair<QString, QString>> queue_; // text, caption
    QPointer<QWidget> shown_;
    QObject alive_; // the connections to the boxes end with the prompter
};

} // namespace tarvik::ui
