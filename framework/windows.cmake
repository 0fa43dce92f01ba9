# Dialogs built from the registered templates, data exchange, file pickers,
# the application icon.
add_library(mojiro_framework_windows STATIC
  ${CMAKE_CURRENT_LIST_DIR}/app_icon.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ddx.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialog_units.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/menu.cpp
  ${CMAKE_CURRENT_LIST_DIR}/progress_window.cpp
)
target_include_directories(mojiro_framework_windows PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(mojiro_framework_windows PUBLIC mojiro_framework_qt Qt6::Widgets)
