// Readable profile files as a user may hand them to import: any text. The reader must refuse or accept
// without reading out of bounds, and what it accepts must hold together: it passes the document checks,
// writes back to text that reads as the same document, and becomes a binary profile file that the
// binary checks accept and that comes back through the model to the same bytes.
#include "profiles/ProfileFile.h"
#include "profiles/ProfileJson.h"
#include "profiles/ProfileModel.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tarvik::profiles;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    model::Document doc;
    model::Problem problem;
    if (!json::readDocument(text, doc, problem)) {
        if (problem.message.empty() || problem.path.empty() || problem.path[0] != '$') {
            std::abort(); // a refusal always says where and what
        }
        return 0;
    }
    if (!model::checkDocument(doc, problem)) {
        std::abort();
    }
    model::Document again;
    if (!json::readDocument(json::writeDocument(doc), again, problem) || !(again == doc)) {
        std::abort();
    }
    const std::vector<uint8_t> bytes = model::profileBytesFromDocument(doc);
    WorkingCopy working;
    if (bytes.empty() || !checkProfileHeader(bytes).ok() || !parseProfile(bytes, working)) {
        std::abort();
    }
    model::Document fromBytes;
    if (!model::documentFromStore(working, fromBytes, problem) ||
        model::profileBytesFromDocument(fromBytes) != bytes) {
        std::abort();
    }
    return 0;
}
