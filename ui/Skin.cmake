# The skinned controls, the skin layout functions and the shared pieces of every window (style, message
# boxes, file dialogs, language texts on widgets): Qt Widgets, included only with TARVIK_GUI.
add_library(tarvik_skin STATIC
  ${CMAKE_CURRENT_LIST_DIR}/CBaseDialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SkinCaptionView.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CPngButton.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CBitmapSlider.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Accessibility.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CSkinColorBtn.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SkinLayout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SkinPicture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DarkStyle.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Language.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextBinder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SkinPrompter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MessageBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtFileChooser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ClickablePicture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HistoryKeys.cpp)
tarvik_target_defaults(tarvik_skin)
target_link_libraries(tarvik_skin PUBLIC Qt6::Widgets tarvik_ui tarvik_platform)
