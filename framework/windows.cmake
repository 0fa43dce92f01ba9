# Dialogs built from the templates in res/, data exchange, file pickers,
# the application icon.
add_library(mojiro_framework_windows STATIC
  ${CMAKE_CURRENT_LIST_DIR}/app_icon.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ddx.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialog_template.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialog_units.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/menu.cpp
  ${CMAKE_CURRENT_LIST_DIR}/progress_window.cpp
)
target_include_directories(mojiro_framework_windows PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(mojiro_framework_windows PUBLIC mojiro_framework_qt Qt6::Widgets)

# Icon 128. The drawing is optional: without it windows show no icon.
if(EXISTS ${PROJECT_SOURCE_DIR}/res/mojiro.svg)
  qt_add_resources(mojiro_framework_windows mojiro_icons
    PREFIX /mojiro
    BASE ${PROJECT_SOURCE_DIR}/res
    FILES ${PROJECT_SOURCE_DIR}/res/mojiro.svg)
endif()
