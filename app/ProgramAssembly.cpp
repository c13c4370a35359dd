#include "app/ProgramAssembly.h"

#include "app/MainWindow.h"
#include "lighting/UserFiles.h"
#include "ui/Language.h"
#include "ui/TextTable.h"

#include <QMetaObject>

#include <cstdlib>

namespace tarvik::app {

ProgramParts assembleProgram(MainWindow& window, device::Commands& commands) {
    const MainWindowSetup& s = window.setup();
    const std::filesystem::path skins = s.programFolder / "Skins";
    // The first-run copy of the user lighting files: at every start (it does nothing once done) and when
    // a later step creates the data folder.
    (void)lighting::installUserFiles(s.dataFolder, skins);
    const char* searchPath = std::getenv("PATH");
    auto hub = std::make_unique<MainHub>(MainHubParts{
        s.state, s.store, commands, s.settings, window.prompter(), window.files(), window, ui::uiTexts(),
        ui::Language::instance().files().program, s.programFolder, s.dataFolder, s.toWorker,
        [&window](std::function<void()> task) {
            QMetaObject::invokeMethod(&window, std::move(task), Qt::QueuedConnection);
        },
        lighting::userFilesInstaller(skins), searchPath != nullptr ? searchPath : ""});
    return ProgramParts{commands, std::move(hub),
                        std::make_unique<lighting::LightingState>(commands, s.dataFolder)};
}

} // namespace tarvik::app
