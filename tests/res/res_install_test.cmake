# Installs the build under a scratch prefix and checks what a package gets:
# the licence where distributions look for it, a desktop entry whose Exec
# hands the window one file, and AppStream metainfo that the validator
# accepts (where appstreamcli is installed).
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BINARY_DIR} --prefix ${PREFIX}
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(metainfo ${PREFIX}/share/metainfo/org.example.mojiro.metainfo.xml)
foreach(file bin/mojiro lib/mojiro/mojiro-windows.so share/doc/mojiro/LICENSE
             share/applications/mojiro.desktop share/man/man1/mojiro.1)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
if(NOT EXISTS ${metainfo})
  message(FATAL_ERROR "not installed: ${metainfo}")
endif()

file(STRINGS ${PREFIX}/share/applications/mojiro.desktop exec REGEX "^Exec=")
if(NOT exec STREQUAL "Exec=mojiro -- %f")
  message(FATAL_ERROR "the desktop entry must hand over one file: ${exec}")
endif()
file(READ ${metainfo} text)
if(text MATCHES "@[A-Z_]+@")
  message(FATAL_ERROR "metainfo has an unfilled placeholder")
endif()

find_program(APPSTREAMCLI appstreamcli)
if(APPSTREAMCLI)
  execute_process(COMMAND ${APPSTREAMCLI} validate --no-net ${metainfo}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "appstreamcli validate:\n${output}")
  endif()
else()
  message(STATUS "appstreamcli not found: metainfo not validated")
endif()
file(REMOVE_RECURSE ${PREFIX})
