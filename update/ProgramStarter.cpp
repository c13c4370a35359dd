#include "update/ProgramStarter.h"

namespace tarvik::update {

StartResult DetachedProgramStarter::start(const std::filesystem::path& program,
                                          const std::vector<std::string>& arguments,
                                          const std::filesystem::path& workingFolder) {
    return startDetachedIn(program, arguments, workingFolder);
}

} // namespace tarvik::update
