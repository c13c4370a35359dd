// The update's messages that name a file, as message boxes: the text of the language key in the active
// language, read from the language file when shown, with the path in place of "%s".
#pragma once

#include "update/FirmwareUpdate.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <filesystem>

namespace tarvik::update {

class UpdateMessageBox final : public UpdatePrompter {
public:
    // parent may be null or go away; the boxes are then owned by no window.
    UpdateMessageBox(QWidget* parent, std::filesystem::path languageFile);

    void show(std::string_view languageKey, const std::filesystem::path& file) override;
    bool askYesNo(std::string_view languageKey, const std::filesystem::path& file, bool defaultYes) override;

    // The text a box with this key and file shows.
    QString text(std::string_view languageKey, const std::filesystem::path& file) const;

private:
    QWidget* owner() const;

    QPointer<QWidget> parent_;
    std::filesystem::path languageFile_;
};

} // namespace tarvik::update
