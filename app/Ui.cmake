# The Qt half of app/ and the program itself.
add_library(tarvik_app_ui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/MainWindow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainWindowFlipPage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TrayIcon.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AboutBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SubWindows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgramAssembly.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Program.cpp)
tarvik_target_defaults(tarvik_app_ui)
target_link_libraries(tarvik_app_ui PUBLIC tarvik_app tarvik_skin tarvik_dialogs_ui tarvik_profiles_ui tarvik_lighting_ui
                                           tarvik_update_ui tarvik_service_ui tarvik_appprofiles_ui Qt6::Widgets)
target_compile_definitions(tarvik_app_ui PRIVATE TARVIK_VERSION="${PROJECT_VERSION}")
# Program.cpp holds the session-bus service, whose event sink has an emit() that Qt's keyword would swallow.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/Program.cpp PROPERTIES COMPILE_DEFINITIONS QT_NO_EMIT)

add_executable(tarvik ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
tarvik_target_defaults(tarvik)
target_link_libraries(tarvik PRIVATE tarvik_app_ui)
if(TARVIK_CODE_ORDER)
  set(order ${PROJECT_SOURCE_DIR}/app/resident.order)
  target_link_options(tarvik PRIVATE -fuse-ld=lld LINKER:--symbol-ordering-file=${order}
                      LINKER:--no-warn-symbol-ordering)
  set_property(TARGET tarvik APPEND PROPERTY LINK_DEPENDS ${order})
endif()
# The program runs from the program folder with its skins, texts and service library beside it (targets
# defined later in the tree; dependencies are resolved when the build is generated).
add_dependencies(tarvik skins runtime_data portmux)
