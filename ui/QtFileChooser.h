// The file dialogs of the windows: the FileChooser over QFileDialog, with the Windows filter strings of
// the texts translated (see FileFilter.h) and the first filter's extension added to a name typed without
// one in a save dialog.
#pragma once

#include "platform/FileChooser.h"

#include <QPointer>
#include <QWidget>

namespace tarvik::ui {

class QtFileChooser : public FileChooser {
public:
    explicit QtFileChooser(QWidget* parent = nullptr) : parent_(parent) {}

    std::optional<std::filesystem::path> choose(Mode mode, const std::string& windowsFilter,
                                                const std::filesystem::path& startFolder,
                                                const std::string& defaultName = {}) override;

private:
    QPointer<QWidget> parent_;
};

} // namespace tarvik::ui
