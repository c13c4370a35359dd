// Applying the skin layout files: the four ways a "BUTTONINFO" rectangle is given to a control, and the
// loading of a dialog's state pictures with the rule that a missing required picture ends the program.
//
// Every placed control remembers its layout rectangle (property kSkinRectProperty), and every placement
// goes through the factor its dialog is drawn at (CBaseDialog::skinScaleOf), so a dialog scaled down to
// fit the screen places, hits and redraws its controls in proportion.
#pragma once

#include "platform/IniFile.h"
#include "ui/SkinRect.h"

#include <QPixmap>

#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

class QWidget;

namespace tarvik::ui {

class CPngButton;

// The layout rectangle of a placed control (a QRect in layout coordinates).
inline constexpr const char* kSkinRectProperty = "tarvikSkinRect";

// The five state pictures of an image button, owned by the dialog. The button keeps its own copies, so
// the dialog may replace its pictures after placing.
struct StatePictures {
    const QPixmap* normal = nullptr;
    const QPixmap* hover = nullptr;
    const QPixmap* pressed = nullptr;
    const QPixmap* disabled = nullptr;
    const QPixmap* selected = nullptr;
};

// Moves the button to (x, y, w, h) and gives it the pictures with the offset (x, y); at (1, 1) — the
// default of a missing key — the button is disabled.
SkinRect placeImageButton(CPngButton& button, const IniFile& layout, std::u16string_view key,
                          const StatePictures& pictures);
// Moves the control to (x, y, w, h).
SkinRect placeControl(QWidget& control, const IniFile& layout, std::u16string_view key);
// Moves the button to the rectangle of key and shows, in every state, the part of its pictures that
// starts at the origin of pictureKey's rectangle.
SkinRect placeControlWithPicture(CPngButton& button, const IniFile& layout, std::u16string_view key,
                                 std::u16string_view pictureKey);
// Moves the control's top-left corner to (x, y), keeps its size, and repaints.
SkinRect moveControl(QWidget& control, const IniFile& layout, std::u16string_view key);

// Puts a control at a layout rectangle directly (what the functions above do after reading the key).
void placeAt(QWidget& control, const SkinRect& r);
// The layout rectangle a control was placed at, if it was.
bool placedRect(const QWidget& control, SkinRect& out);
// How much smaller (or larger) a control is shown than the layout rectangle it was placed at: a window
// shrunk to fit a small screen. 1 for a control not placed from the layout. Controls that draw a picture
// of their own draw it at this factor.
double placedScale(const QWidget& control);
// A font sized in layout pixels (font.pixelSize()): the control keeps it and is drawn with it at its
// dialog's factor, now and after every rescale.
void setSkinFont(QWidget& control, const QFont& font);

// What happens when a required picture is missing. The program's handler ends the process quietly
// with exit code 0; tests install their own.
using MissingPictureHandler = std::function<void(const std::filesystem::path& missing)>;
// Ends the process at once with exit code 0: no destructor, no flush, no event loop left to run, so
// nothing half built can show or crash on the way out.
[[noreturn]] void exitQuietly(const std::filesystem::path& missing);

// Loads the pictures folder / name in order, at the screen's pixel density (name@2x.ext where the
// screens need it and the skin has it); a picture that cannot be loaded stays null and its path is
// appended to missing (when given).
std::vector<QPixmap> loadPictures(const std::filesystem::path& folder, const std::vector<std::string>& names,
                                  std::vector<std::filesystem::path>* missing = nullptr);
// Loads pictures that the dialog cannot do without: the first one missing goes to onMissing, and false
// is returned when onMissing returns.
bool loadRequiredPictures(const std::filesystem::path& folder, const std::vector<std::string>& names,
                          std::vector<QPixmap>& out, const MissingPictureHandler& onMissing = exitQuietly);
// The same check for a window that draws the pictures later: each picture's header is read, none is
// decoded.
bool requirePictures(const std::filesystem::path& folder, const std::vector<std::string>& names,
                     const MissingPictureHandler& onMissing = exitQuietly);

} // namespace tarvik::ui
