#include "ui/Language.h"

namespace tarvik::ui {

Language& Language::instance() {
    static Language* language = new Language; // lives as long as the process; windows may outlive main
    return *language;
}

void Language::setFiles(LanguageFiles files) {
    files_ = std::move(files);
}

int Language::load() {
    return loadUiTexts(uiTexts(), files_);
}

int Language::current() const {
    return uiTexts().language();
}

ChoiceKept Language::switchTo(int language) {
    const ChoiceKept kept = switchUiLanguage(uiTexts(), files_, language);
    emit changed();
    return kept;
}

QString text(std::string_view key) {
    const TextTable& table = uiTexts();
    const std::u16string value =
        table.has(key) ? table.text(key) : table.readOnDemand(Language::instance().files().program, key);
    QString s = QString::fromStdU16String(value);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

} // namespace tarvik::ui
