#include "ui/QtFileChooser.h"

#include "ui/DarkStyle.h"
#include "ui/FileFilter.h"
#include "ui/VisibleOwner.h"

#include <QFileDialog>

namespace tarvik::ui {

std::optional<std::filesystem::path> QtFileChooser::choose(Mode mode, const std::string& windowsFilter,
                                                           const std::filesystem::path& startFolder,
                                                           const std::string& defaultName) {
    const std::vector<FileFilter> filters = parseWindowsFilter(windowsFilter);
    QWidget* owner = visibleOwner(parent_);
    QFileDialog dialog(owner);
    dialog.setStyleSheet(darkStyleSheet());
    // The desktop's own dialog would not carry the program's look or its filters' translation.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setNameFilter(QString::fromStdString(qtFilterString(filters)));
    if (!startFolder.empty()) {
        dialog.setDirectory(QString::fromStdString(startFolder.string()));
    }
    if (mode == Mode::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QString::fromStdString(defaultSuffix(filters)));
        // "*.tvk" as a proposed name is a pattern, not a name.
        if (!defaultName.empty() && defaultName.find('*') == std::string::npos) {
            dialog.selectFile(QString::fromStdString(defaultName));
        }
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return std::filesystem::path(dialog.selectedFiles().front().toStdString());
}

} // namespace tarvik::ui
