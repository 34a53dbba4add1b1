# SPDX-License-Identifier: MIT
# The help page beside the desktop program names the settings folder of the system it was built
# for, file and all, and not the other system's.
# Usage: cmake -P help_page_test.cmake <varnelo.html> windows|linux
set(page_file "${CMAKE_ARGV3}")
set(system "${CMAKE_ARGV4}")
file(READ "${page_file}" page)
if(system STREQUAL "windows")
  set(own [[%APPDATA%\Varnelo\varnelo.INI]])
  set(other "~/.config")
else()
  set(own "~/.config/varnelo/varnelo.INI")
  set(other "%APPDATA%")
endif()
string(FIND "${page}" "${own}" at)
if(at EQUAL -1)
  message(SEND_ERROR "${page_file} does not name ${own}")
endif()
foreach(wrong "${other}" "@VARNELO_")
  string(FIND "${page}" "${wrong}" at)
  if(NOT at EQUAL -1)
    message(SEND_ERROR "${page_file} holds ${wrong}")
  endif()
endforeach()
