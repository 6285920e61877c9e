# Helpers shared by every folder of the suite.
#
# The suite's widest floating type ("long double" in the physics and image
# code, spelled LDouble in the sources) is chosen at build time:
#   - cmd_drev and velmora use the 8-byte double,
#   - halvane uses the 80-bit x87 extended type.
# Every library is therefore built twice from the same sources: <name> with
# LDouble = double and <name>_ext with LDouble = long double. A program links
# one variant of every library it needs and never mixes the two.

# Warnings for our own targets only (Qt, GoogleTest and system headers are
# pulled in as SYSTEM includes by their imported targets).
add_library(lw_warnings INTERFACE)
target_compile_options(lw_warnings INTERFACE -Wall -Wextra)

# lw_add_library(<name>
#     SOURCES <files...>
#     [LW_DEPS <suite libraries>]       linked in the same variant
#     [PUBLIC_DEPS <targets>]           needed by the headers
#     [PRIVATE_DEPS <targets>])         needed by the sources only
function(lw_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LW_DEPS;PUBLIC_DEPS;PRIVATE_DEPS" ${ARGN})
  foreach(variant IN ITEMS "" "_ext")
    set(tgt ${name}${variant})
    add_library(${tgt} STATIC ${ARG_SOURCES})
    # Sources include each other by their library's folder
    # (#include "core/LwMatrix.h"), so the project's root is the one path.
    target_include_directories(${tgt} PUBLIC ${PROJECT_SOURCE_DIR})
    set(lw_deps "")
    foreach(dep IN LISTS ARG_LW_DEPS)
      list(APPEND lw_deps ${dep}${variant})
    endforeach()
    target_link_libraries(${tgt}
      PUBLIC ${lw_deps} ${ARG_PUBLIC_DEPS}
      PRIVATE ${ARG_PRIVATE_DEPS} lw_warnings)
    if(variant STREQUAL "_ext")
      target_compile_definitions(${tgt} PUBLIC LW_EXTENDED_LDOUBLE=1)
    endif()
  endforeach()
endfunction()

# lw_add_program(<name> VARIANT <double|extended> SOURCES <files...> LW_DEPS <libs...> [DEPS <targets>])
function(lw_add_program name)
  cmake_parse_arguments(ARG "" "VARIANT" "SOURCES;LW_DEPS;DEPS" ${ARGN})
  set(suffix "")
  if(ARG_VARIANT STREQUAL "extended")
    set(suffix "_ext")
  endif()
  set(lw_deps "")
  foreach(dep IN LISTS ARG_LW_DEPS)
    list(APPEND lw_deps ${dep}${suffix})
  endforeach()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${lw_deps} ${ARG_DEPS} lw_warnings)
endfunction()

# lw_add_test(<name> LABEL <label> SOURCES <files...> LW_DEPS <libs...>
#             [VARIANT double|extended] [DEPS <targets>] [TIMEOUT <s>] [QT])
# One GoogleTest binary; every test case becomes a CTest test labelled with
# the library it checks, so `ctest -L core` picks one library.
function(lw_add_test name)
  cmake_parse_arguments(ARG "QT" "LABEL;VARIANT;TIMEOUT" "SOURCES;LW_DEPS;DEPS" ${ARGN})
  if(NOT ARG_VARIANT)
    set(ARG_VARIANT double)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  lw_add_program(${name} VARIANT ${ARG_VARIANT} SOURCES ${ARG_SOURCES}
    LW_DEPS ${ARG_LW_DEPS} DEPS ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  # GoogleTest's headers dominate the compile time of every test file.
  # Debug information for the many GoogleTest expansions costs more build time
  # than it is worth in CI; a developer debugging a test builds with -g.
  target_precompile_headers(${name} PRIVATE <gtest/gtest.h> <string> <vector>)
  target_compile_options(${name} PRIVATE -g0)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common)
  target_compile_definitions(${name} PRIVATE
    LW_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
    LW_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  set(env "")
  if(ARG_QT)
    set(env ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${ARG_LABEL}" TIMEOUT ${ARG_TIMEOUT} ${env})
endfunction()
