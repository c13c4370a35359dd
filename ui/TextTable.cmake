# The UI text table and its language file loader: pure C++, no Qt.
add_library(tarvik_ui STATIC ${CMAKE_CURRENT_LIST_DIR}/TextTable.cpp)
tarvik_target_defaults(tarvik_ui)
target_link_libraries(tarvik_ui PUBLIC tarvik_platform)
