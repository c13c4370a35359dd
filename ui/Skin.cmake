# The skinned controls and the skin layout functions (Qt Widgets); included only with TARVIK_GUI.
# SkinRect and MaskRuns are pure code, kept in their own files.
add_library(tarvik_skin STATIC
  ${CMAKE_CURRENT_LIST_DIR}/SkinRect.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MaskRuns.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CBaseDialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CPngButton.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CBitmapSlider.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CSkinColorBtn.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SkinLayout.cpp)
tarvik_target_defaults(tarvik_skin)
target_link_libraries(tarvik_skin PUBLIC Qt6::Widgets tarvik_platform)
