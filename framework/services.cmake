# Non-window services the application and the windows share; no Qt, so the
# batch run starts without loading the toolkit. The resources the program
# registers (strings, dialog templates, icon) are kept here too, so that the
# window library finds what the program registered before loading it.
add_library(mojiro_framework STATIC
  ${CMAKE_CURRENT_LIST_DIR}/afx_string.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app_icon_resource.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialog_template.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_system.cpp
  ${CMAKE_CURRENT_LIST_DIR}/message_box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/profile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/url_opener.cpp
  ${CMAKE_CURRENT_LIST_DIR}/version_info.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win_app.cpp
)
target_include_directories(mojiro_framework PUBLIC ${PROJECT_SOURCE_DIR})

# The settings store on Qt Core alone.
add_library(mojiro_profile_qt STATIC ${CMAKE_CURRENT_LIST_DIR}/qt_profile_store.cpp)
target_link_libraries(mojiro_profile_qt PUBLIC Qt6::Core)

# The same services' widget half: message box window, URL opener, the GUI
# application object.
add_library(mojiro_framework_qt STATIC
  ${CMAKE_CURRENT_LIST_DIR}/gui_application.cpp
  ${CMAKE_CURRENT_LIST_DIR}/qt_toolkit.cpp
)
target_link_libraries(mojiro_framework_qt PUBLIC mojiro_framework Qt6::Widgets)

# The settings library the program loads to read or write a setting: the
# store and Qt Core, so that reading the substitute costs no widget library.
add_library(mojiro_settings MODULE ${CMAKE_CURRENT_LIST_DIR}/settings_module.cpp
  $<TARGET_OBJECTS:mojiro_profile_qt>)
target_link_libraries(mojiro_settings PRIVATE Qt6::Core)
set_target_properties(mojiro_settings PROPERTIES PREFIX "" OUTPUT_NAME mojiro-settings
  LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/app)

# Where the framework finds the toolkit: linked in (tests, the window
# library itself) or loaded on first use (the program). Object libraries:
# linked straight into each program, never left out of an archive.
add_library(mojiro_toolkit_linked OBJECT ${CMAKE_CURRENT_LIST_DIR}/toolkit_linked.cpp)
target_link_libraries(mojiro_toolkit_linked PUBLIC mojiro_framework_qt mojiro_profile_qt)
add_library(mojiro_toolkit_loaded OBJECT
  ${CMAKE_CURRENT_LIST_DIR}/toolkit_loader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/toolkit_module.cpp
)
target_link_libraries(mojiro_toolkit_loaded PUBLIC mojiro_framework ${CMAKE_DL_LIBS})
