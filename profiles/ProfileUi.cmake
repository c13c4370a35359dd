# The Qt half of profile switching and the profile manager; included only with TARVIK_GUI.
add_library(tarvik_profiles_ui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ProfileManagerDialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProfileSwitchRunner.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProfileMenuWidgets.cpp)
tarvik_target_defaults(tarvik_profiles_ui)
target_link_libraries(tarvik_profiles_ui PUBLIC tarvik_profiles tarvik_skin tarvik_ui Qt6::Widgets)
