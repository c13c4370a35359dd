// The keys of the UI texts: the start-up list with the initial text of each slot, in load order, and the
// keys that windows read from the language file themselves when they open.
#pragma once

#include <string_view>

namespace tarvik::ui {

struct TextEntry {
    std::string_view key;
    std::u16string_view initial; // what the slot holds before the language file has been read
};

// Loaded in this order at start and after every language switch.
inline constexpr TextEntry kStartupTexts[] = {
    {"MACRO_ACTION_RECORD_DELAY", u"RecordDelay"},
    {"MACRO_NEW_PREFIX", u"Macro"},
    {"MACRO_ERR_MAX", u"The maximum number of macro: %d   "},
    {"MACRO_ERR_SAME", u"Same macro name!   "},
    {"MACRO_ERR_NAME_SYSTEM", u"This macro is used in the system! "},
    {"MACRO_DEFAULT_NAME", u"Empty Macro"},
    {"MACRO_ERR_RECORD", u"Please stop the macro record first! "},
    {"MACRO_KEYS_TISHI", u"Key"},
    {"MACRO_ACTION_TISHI", u"Action"},
    {"MACRO_DELAY_MS", u"Delay(ms)"},
    {"MACRO_ACTION_CLEAR_CONFIRM", u"Really need to clear the macro action? "},
    {"MACRO_ACTION_ERR_MODIFY", u"You can not edit, use the macro record button. "},
    {"MACRO_ACTION_ERR_DELAY_MIN", u"Minimum delay time is: %d(ms) "},
    {"MACRO_ACTION_ERR_DELAY_MAX", u"Maximum delay time is: %d(ms) "},
    {"MACRO_ACTION_RECORD", u"Record"},
    {"MACRO_ACTION_STOP_RECORD", u"Stop Record"},
    {"EXTRA_MACRO_TOO_LONG", u"Macro space exceeds the hardware space.\r\n Please reduce the number of "
                             u"macros or macro action number\uFF0Cand then download."},
    {"UNKNOWN_KEY", u"Unknown Key: %03x"},
    {"MEDIA_PALYER_1", u"Media Player"},
    {"MEDIA_PALY_PAUSE_2", u"Play/Pause"},
    {"MEDIA_STOP_PALY_3", u"Stop"},
    {"MEDIA_PREV_TRACK_4", u"Previous Track"},
    {"MEDIA_Next_TRACK_5", u"Next Track"},
    {"MEDIA_V_LOW_6", u"Volume Down"},
    {"MEDIA_V_ADD_7", u"Volume Up"},
    {"MEDIA_MUTE_8", u"Mute"},
    {"MEDIA_WWW_HOME_9", u"Web Home"},
    {"MEDIA_WWW_REFRESH_10", u"Web Refresh"},
    {"MEDIA_WWW_STOP_11", u"Web Stop"},
    {"MEDIA_WWW_BACK_12", u"Web Back"},
    {"MEDIA_WWW_FORWARD_13", u"Web Forward"},
    {"MEDIA_WWW_FAVORITE_14", u"Web Favorites"},
    {"MEDIA_WWW_SEARCH_15", u"Web Search"},
    {"MEDIA_MY_PC_16", u"My Computer"},
    {"MEDIA_CALC_17", u"Calculator"},
    {"MEDIA_MAIL_18", u"Mail"},
    {"FUNC_KEY_DESC1", u"Open"},
    {"FUNC_KEY_DESC2", u"New"},
    {"FUNC_KEY_DESC3", u"Undo"},
    {"FUNC_KEY_DESC4", u"Save"},
    {"FUNC_KEY_DESC5", u"Copy"},
    {"FUNC_KEY_DESC6", u"Cut"},
    {"FUNC_KEY_DESC7", u"Paste"},
    {"FUNC_KEY_DESC8", u"Find"},
    {"FUNC_KEY_DESC9", u"Select All"},
    {"FUNC_KEY_DESC10", u"Zoom-"},
    {"FUNC_KEY_DESC11", u"Zoom+"},
    {"APPLY_PROMPT", u"The settings have not been applied yet. Apply them now?"},
    {"MACRO_DELETE_CONFIRM_OF_KEYS",
     u"Detect some key points to set this macro, \n  really need to remove this macro?  "},
    {"KEY_PROMPT", u"Please press a key."},
    {"KEY_PROMPT_SET", u"Keys, Set: "},
    {"KEY_PROMPT_SINGLE", u"Key("},
    {"KEY_PROMPT_MACRO", u"Macro("},
    {"KEY_PROMPT_MEDIA", u"Media("},
    {"KEY_PROMPT_FUNCTION", u"Function("},
    {"DEFAULT_PROFILE_NAME", u"<Default Profile>"},
    {"PROFILE_SELECT_PROMPT", u"Whether to save the profile settings made?"},
    {"PROFILE_SEELCT_PROMPT2", u"When fast switch scene mode, you must first close the editor dialog box."},
    {"PROFILE_SELECT_PROMPT3",
     u"Scene mode are editing, whether to give up the modification and change its mode?"},
    {"PROFILE_LOAD_PROMPT", u"Switch scene mode will automatically stop the macro play!"},
    {"PROFILE_CHECK_PROMPT", u"Scene mode file does not exist, load the default Settings!"},
    {"PROFILE_FORMAT_ERROR", u"wrong file format, revert to the default values: \n  %s"},
    {"PROFILE_NEW", u"\\The new contextual  mode"},
    {"PROFILE_TIP", u"The current contextual  mode: "},
    {"PROFILE_EDITING", u"You are editing, set not applications, can't change its mode"},
    {"EXTRA_PROFILE_SPACE_TIGHT", u"shortage of hardware space, cancelled the macro name of storage."},
    {"MAIN_UPDATE_ERROR_TEXT", u"升级文件错误\uFF0C请选择正确的升级文件！"},
    {"MAIN_BOOT_ERROR_TEXT", u"无法进入升级模式\uFF0C请重试！"},
    {"MAIN_SHELL_ERROR_TEXT", u"无法运行升级文件！"},
    {"MAIN_UPDATE_BACKUP_OK", u"备份成功！"},
    {"MAIN_UPDATE_BACKUP_NG", u"备份失败！"},
    {"KEYBOARD_TRAY_DESC", u"Halden Board Q7"},
    {"MAIN_CAPTION", u"Gaming Keyboard Settings"},
    {"MAIN_HELP_PROMPT", u"Help"},
    {"MAIN_MINIMIZE_PROMPT", u"Minimize"},
    {"MAIN_MENU_PROMPT", u"Menu"},
    {"MAIN_CLOSE_PROMPT", u"Close"},
    {"MAIN_BUTTON_TEMBRA_VER", u""},
    {"MAIN_PROMPT_DEFAULT", u"Do you want to restore the default settings?"},
    {"MAIN_PROMPT_INPORT", u"File format error, import failed! "},
    {"MAIN_PROMPT_DRIVER_TEXT", u"The keyboard driver is not installed. Do you want to install it now?"},
    {"MAIN_PROMPT_DRIVER_TITLE", u"Driver Installation"},
    {"MAIN_SWITCH_FUNCTION_TEXT", u"Switch to the color keys mode"},
    {"MAIN_SWITCH_COLOR_TEXT", u"Switch to the function keys mode"},
    {"MAIN_DEFAULT_MATRIX_PROMPT", u"Reads the default keyboard layout failure"},
    {"MAIN_NO_DEVICE_PROMPT", u"Device is not detected\uFF0Cthe key settings can not be displayed! "},
    // After a download or a lighting write that the keyboard acknowledged and then read back otherwise.
    {"EXTRA_VERIFY_FAILED",
     u"The keyboard did not keep all that was sent (found by reading it back). Please try again."},
    // After a download that found another program's changes on the keyboard and merged them.
    {"MAIN_KEYBOARD_CHANGED",
     u"The keyboard was changed by another program; your edits were kept and merged"},
};

// Read on demand: the main window's button labels and tooltips, the two menus, the About box and the
// key assignment dialog.
inline constexpr std::string_view kMainWindowTextKeys[] = {
    "PROFILE_1",         "PROFILE_2",      "PROFILE_3",     "PROFILE_MACRO",        "PROFILE_DEFAULT",
    "PROFILE_OK",        "PROFILE_CANCLE", "PROFILE_APPLY", "MAIN_MINIMIZE_PROMPT", "MAIN_MENU_PROMPT",
    "MAIN_CLOSE_PROMPT", "FLIP_TIP"};
inline constexpr std::string_view kMainMenuTextKeys[] = {"MENU_1", "MENU_2", "MENU_3", "MENU_4"};
// The main window's menu button beyond its four items: the language submenu (each language by its own
// name), the firmware update, the check item "Start with the desktop" and its failure message.
inline constexpr std::string_view kMainMenuExtraKeys[] = {"MENU_LANGUAGE",         "MENU_LANGUAGE_CHINESE",
                                                          "MENU_LANGUAGE_ENGLISH", "MENU_UPDATE",
                                                          "MENU_AUTOSTART",        "AUTOSTART_FAILED"};
// What the keyboard's three on-board profiles are called wherever they are listed.
inline constexpr std::string_view kOnBoardProfileKeys[] = {"ONBOARD_PROFILE_1", "ONBOARD_PROFILE_2",
                                                           "ONBOARD_PROFILE_3"};
inline constexpr std::string_view kTrayMenuTextKeys[] = {"MENU_11", "MENU_22", "MENU_33"};
// The main window's menu button: the submenu of the profiles, after the items above.
inline constexpr std::string_view kProfileSubmenuKey = "MENU_PROFILES";
// The menu button's Undo and Redo.
inline constexpr std::string_view kUndoMenuKeys[] = {"MENU_UNDO", "MENU_REDO"};
// Restore defaults and the profile switch's save question when there are edits to undo: they say the
// steps will be gone.
inline constexpr std::string_view kUndoQuestionKeys[] = {"MAIN_PROMPT_DEFAULT_UNDO",
                                                         "PROFILE_SELECT_PROMPT_UNDO"};
// The buttons of the message boxes: OK (the main window's own word for it), Yes, No and Cancel.
inline constexpr std::string_view kMessageBoxTextKeys[] = {"PROFILE_OK", "MESSAGE_YES", "MESSAGE_NO",
                                                           "MESSAGE_CANCEL"};
inline constexpr std::string_view kAboutTextKeys[] = {"GUANYU_JIESHAO", "GUANYU_BANQUAN"};
inline constexpr std::string_view kKeyDialogTextKeys[] = {"COMPOSITE_PROMPT_CLEAR",
                                                          "COMPOSITE_PROMPT_OSK",
                                                          "COMPOSITE_MACRO_OVER",
                                                          "MACRO_CYCLES",
                                                          "RECORD_DELAY",
                                                          "SINGLE_KEY",
                                                          "MACRO_SETTING",
                                                          "MULTI_MEDIA",
                                                          "FUNCTION_KEY",
                                                          "A_TOP",
                                                          "A_UP",
                                                          "A_DOWN",
                                                          "A_BOTTOM",
                                                          "A_RECORD",
                                                          "A_DELETE",
                                                          "A_CLEAR",
                                                          "MACRO_OK",
                                                          "MACRO_CANCLE",
                                                          "SINGLE_STATIC",
                                                          "MACRO_NAME_SETTING",
                                                          "KEY_SETTING_TISHI",
                                                          "MACRO_EDIT_TISHI",
                                                          "MEDIA_EDIT_TISHI",
                                                          "FUNCTION_TISHI",
                                                          "MACRO_MEMORY_USED",
                                                          "MACRO_MEMORY_UNKNOWN",
                                                          "COMPOSITE_KEYS_KEPT",
                                                          "MACRO_APPLY"};

// The firmware update dialog's own texts, read when it opens or shows a message: the open button's tip,
// the path label while no program is chosen, and the messages about the automatic backup ("%s" is a
// file's path).
inline constexpr std::string_view kUpdateTextKeys[] = {"UPDATE_CHOOSE_TIP", "UPDATE_NO_FILE",
                                                       "UPDATE_AUTO_BACKUP_DONE", "UPDATE_AUTO_BACKUP_FAILED",
                                                       "UPDATE_RESTORE_PROMPT"};

// The words the skin pictures do not carry: the skinned dialogs draw them from the "CAPTIONS" sections
// of the layout files. (The profile manager's OK, Cancel and Apply use PROFILE_OK, PROFILE_CANCLE and
// PROFILE_APPLY of the main window's list.)
inline constexpr std::string_view kSkinCaptionTextKeys[] = {
    "COMPOSITE_TITLE",    "PROFILE_TITLE", "PROFILE_ADD",     "PROFILE_LOAD",  "PROFILE_DELETE",
    "UPDATE_TITLE",       "UPDATE_START",  "UPDATE_CANCEL",   "UPDATE_BACKUP", "LIGHT_CAPTION",
    "LIGHT_BRIGHTNESS",   "LIGHT_SPEED",   "LIGHT_DIRECTION", "LIGHT_COLORS",  "LIGHT_COLOR",
    "LIGHT_STATIC_COLOR", "LIGHT_RANDOM"};

// The lighting panel's words while it is off, and the colour pop-up's automatic colour.
inline constexpr std::string_view kLightingTextKeys[] = {"LIGHTING_OFF_EFFECT", "LIGHTING_OFF_HINT",
                                                         "LIGHT_AUTOMATIC"};

// The profile manager's list columns: the tick box, the name, the folder.
inline constexpr std::string_view kProfileColumnTextKeys[] = {"PROFILE_COLUMN_ACTIVE", "PROFILE_COLUMN_NAME",
                                                              "PROFILE_COLUMN_PATH"};

// What an exit asks an editor holding edits not written yet: the key dialog, the profile manager.
inline constexpr std::string_view kExitQuestionKeys[] = {"EXIT_UNSAVED_KEY", "EXIT_UNSAVED_PROFILES"};

// Automatic profiles: the tray menu's two entries, the rules window (read when it opens) and the tray
// tooltip's line while a switch waits.
inline constexpr std::string_view kAppProfileTextKeys[] = {
    "APPPROFILES_AUTOMATIC", "APPPROFILES_MENU",     "APPPROFILES_TITLE",       "APPPROFILES_APPLICATION",
    "APPPROFILES_PROFILE",   "APPPROFILES_ADD",      "APPPROFILES_REMOVE",      "APPPROFILES_CLOSE",
    "APPPROFILES_FALLBACK",  "APPPROFILES_PREVIOUS", "APPPROFILES_NEXT_WINDOW", "APPPROFILES_CLICK_WINDOW",
    "APPPROFILES_WATCHING",  "APPPROFILES_OFF",      "APPPROFILES_SAVE_FAILED", "APPPROFILES_WAITING",
    "APPPROFILES_GNOME_OFF"};

// Screen readers: names of the controls that show only a picture, and the announcements of results.
inline constexpr std::string_view kAccessibilityTextKeys[] = {
    "ACC_LINK_HOME",     "ACC_LINK_1",         "ACC_LINK_2",           "ACC_LINK_3",
    "ACC_LOCK_CAPS",     "ACC_LOCK_NUM",       "ACC_LOCK_SCROLL",      "ACC_LAYER",
    "ACC_FLIP_PAGE",     "ACC_FLIP_BACK",      "ACC_FLIP_NEXT",        "ACC_REPORT_RATE",
    "ACC_KEY_CHANGED",   "ACC_APPLIED",        "ACC_APPLY_FAILED",     "ACC_IMPORTED",
    "ACC_IMPORT_FAILED", "ACC_PROFILE_NOW",    "ACC_KEYBOARD_ARRIVED", "ACC_KEYBOARD_LOST",
    "ACC_LIGHTING_ON",   "ACC_LIGHTING_OFF",   "ACC_LIGHTING_MODE",    "ACC_BRIGHTNESS",
    "ACC_SPEED",         "ACC_DIRECTION_LEFT", "ACC_DIRECTION_RIGHT",  "ACC_EFFECT_COLOUR",
    "ACC_RANDOM_COLOUR", "ACC_FIXED_COLOUR",   "ACC_FIXED_RANDOM",     "ACC_PRESET_RED",
    "ACC_PRESET_YELLOW", "ACC_PRESET_GREEN",   "ACC_PRESET_BLUE",      "ACC_PAINT_COLOUR",
    "ACC_BASE_COLOUR",   "ACC_BRUSH_PAINT",    "ACC_BRUSH_BASE",       "ACC_USER_SLOT",
    "ACC_VERSION",       "ACC_MACRO_ACTIONS",  "ACC_PROFILE_LIST",     "ACC_SIGN_INFORMATION",
    "ACC_SIGN_QUESTION", "ACC_SIGN_WARNING"};

} // namespace tarvik::ui
