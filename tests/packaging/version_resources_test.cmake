# SPDX-License-Identifier: MIT
# Every Windows program shipped carries its own version resource: its file name as
# OriginalFilename, its name as InternalName, the product's name, and a description no other
# program has. The strings are read from the executables' bytes, where a version resource keeps
# each value as UTF-16LE after its key (and the key's padding to four bytes).
# Usage: cmake -P version_resources_test.cmake <program.exe>...
cmake_minimum_required(VERSION 3.25)

# The hexadecimal bytes of `text` (ASCII) in UTF-16LE.
function(utf16_hex text out)
  string(HEX "${text}" hex)
  string(REGEX REPLACE "(..)" "\\100" hex "${hex}")
  set(${out} "${hex}" PARENT_SCOPE)
endfunction()

# The value of `key` in the version resource of the executable whose bytes are `hex`, as the
# hexadecimal of its UTF-16LE text; empty when the key is missing.
function(version_value hex key out)
  utf16_hex("${key}" needle)
  set(${out} "" PARENT_SCOPE)
  string(FIND "${hex}" "${needle}0000" at)
  if(at EQUAL -1)
    return()
  endif()
  string(LENGTH "${needle}0000" skip)
  math(EXPR at "${at} + ${skip}")
  string(SUBSTRING "${hex}" ${at} 1024 rest)
  string(REGEX REPLACE "^(0000)?((([0-9a-f][1-9a-f]|[1-9a-f]0)00)*)0000.*" "\\2" value "${rest}")
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

math(EXPR last "${CMAKE_ARGC} - 1")
set(descriptions)
foreach(i RANGE 3 ${last})
  set(exe "${CMAKE_ARGV${i}}")
  get_filename_component(file_name "${exe}" NAME)
  get_filename_component(name "${exe}" NAME_WE)
  file(READ "${exe}" hex HEX)
  foreach(expected "OriginalFilename=${file_name}" "InternalName=${name}"
                   "ProductName=Varnelo Converter")
    string(REGEX MATCH "^[^=]*" key "${expected}")
    string(REGEX REPLACE "^[^=]*=" "" text "${expected}")
    version_value("${hex}" ${key} value)
    utf16_hex("${text}" wanted)
    if(NOT value STREQUAL wanted)
      message(SEND_ERROR "${file_name}: ${key} is not \"${text}\"")
    endif()
  endforeach()
  version_value("${hex}" FileDescription description)
  utf16_hex("Varnelo Converter - " product)
  string(FIND "${description}" "${product}" at)
  if(NOT at EQUAL 0)
    message(SEND_ERROR "${file_name}: FileDescription does not begin with the product's name")
  endif()
  if(description IN_LIST descriptions)
    message(SEND_ERROR "${file_name}: FileDescription is another program's too")
  endif()
  list(APPEND descriptions "${description}")
endforeach()
