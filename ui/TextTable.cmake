# The UI text table and its language file loader, and the pure parts of the skin (rectangles, mask runs,
# captions, scaling, file-dialog filters, picture sizes): no Qt.
add_library(tarvik_ui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/TextTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LanguageChoice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SkinRect.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MaskRuns.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SkinCaptions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SkinScale.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileFilter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ColourNames.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PictureSize.cpp)
tarvik_target_defaults(tarvik_ui)
target_link_libraries(tarvik_ui PUBLIC tarvik_platform)
