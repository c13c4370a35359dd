// The numbers of the main window: control ids, menu commands, messages, timers and the window's tag.
// Kept as the program has always used them, so that messages from other processes keep working.
#pragma once

#include <cstdint>
#include <string_view>

namespace tarvik::app {

namespace control {
inline constexpr int kProfileManager = 1005;
inline constexpr int kApply = 1006;
inline constexpr int kMacro = 1007;        // acts as G9
inline constexpr int kTestButton0D = 1008; // hidden; would send device::CMD_TEST_BUTTON_0D
inline constexpr int kCmd0D = kTestButton0D;
inline constexpr int kTrayMenu = 1009;
inline constexpr int kLink = 1121;
inline constexpr int kHelp = 1122;
inline constexpr int kMinimize = 1123;
inline constexpr int kClose = 1124;
inline constexpr int kLockCaps = 1125;
inline constexpr int kLockNum = 1126;
inline constexpr int kLockScroll = 1127;
inline constexpr int kLockLayer = 1128;
inline constexpr int kFlip0 = 1129;
inline constexpr int kFlip1 = 1130;
inline constexpr int kFlip2 = 1131;
inline constexpr int kVersion = 1134;
inline constexpr int kProfile1 = 1135; // then 1136, 1137
inline constexpr int kDefaults = 1138;
inline constexpr int kMenu = 1139;
inline constexpr int kSwitch = 1144;
inline constexpr int kReport1 = 1147;
inline constexpr int kReport2 = 1168;
inline constexpr int kReport3 = 1169;
inline constexpr int kReport4 = 1170;
inline constexpr int kFn = 1174;
inline constexpr int kLink0 = 1207; // then 1208, 1209
inline constexpr int kBusyPicture = 1177;
} // namespace control

// The report-rate buttons in rate order 0..3.
inline constexpr int kReportButtons[] = {control::kReport1, control::kReport2, control::kReport3,
                                         control::kReport4};

namespace command {
inline constexpr int kSysAbout = 0x0010;
inline constexpr int kOpen = 32771;
inline constexpr int kAbout = 32773;
inline constexpr int kExit = 32774;
inline constexpr int kImport = 32776;
inline constexpr int kExport = 32777;
inline constexpr int kMenuExit = 32779;
inline constexpr int kUpdate = 32780;
inline constexpr int kChinese = 32784;
inline constexpr int kEnglish = 32785;
// The menu button's check item "Start with the desktop".
inline constexpr int kAutostart = 32790;
// The tray menu's check item "Automatic profiles" and its entry of the rules window.
inline constexpr int kAutoProfiles = 32791;
inline constexpr int kAppRules = 32792;
// The menu button's Undo and Redo.
inline constexpr int kUndo = 32793;
inline constexpr int kRedo = 32794;
inline constexpr int kProfileMenuFirst = 9000; // 9000: <Default Profile>; 9001 + p: on-board profile p
inline constexpr int kProfileMenuLast = 9200;
} // namespace command

// Posted to the main window (also by other processes): runs Apply.
inline constexpr uint32_t MSG_APPLY = 0x001E;
// What other instances recognise the main window by.
inline constexpr uint32_t MAIN_WINDOW_TAG = 0x4D41494E;

inline constexpr int kTimerBusy = 1050;
inline constexpr int kTimerBusyPeriodMs = 50;
inline constexpr int kTimerPreview = 1052;
inline constexpr int kBusyFrames = 10; // jdt1.bmp ... jdt10.bmp

// The filter of the profile file dialogs.
inline constexpr std::string_view kProfileFileFilter = "(*.tvk)|*.tvk|(*.*)|*.*||";
// The caption of the restore-defaults question.
inline constexpr std::u16string_view kDefaultsCaption = u"Velmora  Mechanical Keyboard";

} // namespace tarvik::app
