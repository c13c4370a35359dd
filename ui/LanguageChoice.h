// Where the user's choice of language is kept. The language file of the program folder holds it, but an
// installed program folder is read-only for users: a choice that cannot be written there is kept in the
// user's settings file instead, and that value is read before the program folder's. No Qt here.
#pragma once

#include "ui/TextTable.h"

#include <filesystem>
#include <optional>

namespace tarvik::ui {

struct LanguageFiles {
    std::filesystem::path program; // Skins/language.ini of the program folder (the texts)
    std::filesystem::path user;    // the user's settings file; empty: none
};

// The user's own value ([LANGUAGE] language in the user file), when there is one.
std::optional<int> userLanguage(const LanguageFiles& files);
// The language in effect at start: the user's value, else the program folder's file (1 English, any
// other value Chinese; see TextTable).
int storedLanguage(const LanguageFiles& files);

// Fills the table from the program folder's file in the stored language. Returns that language.
int loadUiTexts(TextTable& table, const LanguageFiles& files);

enum class ChoiceKept {
    ProgramFolder, // written to the language file (and to the user's value where one exists)
    PerUser,       // the language file could not be written; the user's settings file holds it
    ThisRunOnly,   // neither file could be written: the texts follow the choice until the program ends
};

// A language switch: remembers the choice, writes it, and refills the table in the new language. The
// user's value is written when the language file refuses the write and also whenever one exists
// already, so an older per-user choice never outvotes a newer one.
ChoiceKept switchUiLanguage(TextTable& table, const LanguageFiles& files, int language);

} // namespace tarvik::ui
