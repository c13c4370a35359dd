// The user-interface language while the program runs: the texts of any key (the text table's, or read
// from the language file for keys outside it), the language switch, and the signal every open window,
// menu and the tray icon re-text themselves on.
#pragma once

#include "ui/LanguageChoice.h"

#include <QObject>
#include <QString>

#include <string_view>

namespace tarvik::ui {

class Language : public QObject {
    Q_OBJECT

public:
    static Language& instance();

    // Where the texts and the choice live; set once at start, before any window exists.
    void setFiles(LanguageFiles files);
    const LanguageFiles& files() const { return files_; }
    // Loads the text table in the stored language.
    int load();
    // The language in effect (TextTable::kChinese or kEnglish).
    int current() const;

    // Stores the choice, reloads the texts and tells every window (changed()).
    ChoiceKept switchTo(int language);

signals:
    void changed();

private:
    Language() = default;
    LanguageFiles files_{languageFilePath(), {}};
};

// The current text of a language key: the text table's slot for keys of the start-up list, else the
// key read from the language file's active section. Line breaks of "\r\n" become "\n".
QString text(std::string_view key);

} // namespace tarvik::ui
