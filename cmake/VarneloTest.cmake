# SPDX-License-Identifier: MIT
# varnelo_add_test(<source> LIBS <targets...> [NAME <name>] [LABELS <labels...>] [ENV <k=v...>]
#                  [PROPERTIES <test properties...>] [EMULATOR <command...>])
# Builds one GoogleTest executable per test source and registers it with CTest. NAME builds the
# same source a second time under another name; its tests are prefixed with that name.
# EMULATOR runs a cross-built test in another way than the project's emulator.
if(CMAKE_CROSSCOMPILING)
  # GoogleTest built from Debian's sources with the cross compiler, once for every folder.
  if(NOT TARGET gtest)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
  foreach(lib gtest gmock gtest_main)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# The paths the tests are built with, as the programs under test see them: under Wine the
# build machine's files are on drive Z:.
if(WIN32 AND CMAKE_CROSSCOMPILING)
  set(VARNELO_TEST_HOST_PREFIX "Z:")
else()
  set(VARNELO_TEST_HOST_PREFIX "")
endif()

function(varnelo_add_test source)
  cmake_parse_arguments(ARG "" "NAME" "LIBS;LABELS;ENV;PROPERTIES;EMULATOR" ${ARGN})
  get_filename_component(name ${source} NAME_WE)
  set(prefix)
  if(ARG_NAME)
    set(name ${ARG_NAME})
    set(prefix TEST_PREFIX ${ARG_NAME}.)
  endif()
  add_executable(${name} ${source})
  varnelo_version_resource(${name} "test ${name}")
  if(ARG_EMULATOR)
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${ARG_EMULATOR}")
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} varnelo_test_support GTest::gtest GTest::gmock
                                        GTest::gtest_main varnelo_warnings)
  target_compile_definitions(${name} PRIVATE
    VARNELO_SOURCE_DIR="${VARNELO_TEST_HOST_PREFIX}${PROJECT_SOURCE_DIR}"
    VARNELO_BINARY_DIR="${VARNELO_TEST_HOST_PREFIX}${PROJECT_BINARY_DIR}")
  set(props)
  if(ARG_LABELS)
    list(APPEND props LABELS "${ARG_LABELS}")
  endif()
  if(ARG_ENV)
    list(APPEND props ENVIRONMENT "${ARG_ENV}")
  endif()
  list(APPEND props ${ARG_PROPERTIES})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 ${prefix} PROPERTIES ${props})
endfunction()
