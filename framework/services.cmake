# Non-window services the application and the windows share.
add_library(mojiro_framework STATIC
  ${CMAKE_CURRENT_LIST_DIR}/afx_string.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_system.cpp
  ${CMAKE_CURRENT_LIST_DIR}/message_box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/profile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/url_opener.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win_app.cpp
)
target_include_directories(mojiro_framework PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(mojiro_framework PUBLIC Qt6::Widgets mojiro_convert)
