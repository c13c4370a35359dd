# The firmware update: its decisions and the program starter are pure code (tarvik_firmware, part of
# tarvik_core); the dialog and its message boxes are the Qt half (tarvik_device_ui, only with TARVIK_GUI).
# Kept apart from tarvik_device because the update writes profile files, and profiles build on the device
# link.
add_library(tarvik_firmware STATIC
  ${CMAKE_CURRENT_LIST_DIR}/FirmwareUpdate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgramStarter.cpp)
tarvik_target_defaults(tarvik_firmware)
target_link_libraries(tarvik_firmware PUBLIC tarvik_profiles tarvik_device tarvik_platform)

if(TARVIK_GUI)
  add_library(tarvik_device_ui STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CTarvik_DlgUpdate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UpdateMessageBox.cpp)
  tarvik_target_defaults(tarvik_device_ui)
  target_link_libraries(tarvik_device_ui PUBLIC tarvik_firmware tarvik_skin tarvik_ui Qt6::Widgets)
endif()
