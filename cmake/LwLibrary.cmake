# Helpers shared by every folder of the suite.
#
# The suite's widest floating type ("long double" in the physics and image
# code, spelled LDouble in the sources) is chosen at build time:
#   - cmd_drev and velmora use the 8-byte double,
#   - halvane uses the 80-bit x87 extended type.
# Every library is therefore built twice from the same sources: <name> with
# LDouble = double and <name>_ext with LDouble = long double. A program links
# one variant of every library it needs and never mixes the two: the two
# variants define the same symbols with different layouts, so a mixed program
# would link and then misread its own data. lw_check_variants (run at the end
# of the configure step) stops the configuration when a program does.
#
# Every library, program, test and benchmark goes through these helpers, so
# each target carries its variant in the LW_VARIANT property ("double" or
# "extended").

include_guard(GLOBAL)

# Warnings for our own targets only (Qt, GoogleTest and system headers are
# pulled in as SYSTEM includes by their imported targets).
if(NOT TARGET lw_warnings)
  add_library(lw_warnings INTERFACE)
  target_compile_options(lw_warnings INTERFACE -Wall -Wextra)
endif()

# The names of <deps> (suite libraries) in <variant>, appended to <out>:
# <lib> in the double variant, <lib>_ext in the extended one; a library built
# in one variant only (DOUBLE_ONLY, EXTENDED_ONLY) keeps its name, and naming
# it from a target of the other variant stops the configuration.
function(lw_variant_deps out variant)
  set(result "")
  foreach(dep IN LISTS ARGN)
    get_property(only GLOBAL PROPERTY LW_ONLY_VARIANT_${dep})
    if(only)
      if(NOT only STREQUAL variant)
        message(FATAL_ERROR "${dep} is built in the ${only} variant only; a ${variant} target cannot link it")
      endif()
      list(APPEND result ${dep})
    elseif(variant STREQUAL "extended")
      list(APPEND result ${dep}_ext)
    else()
      list(APPEND result ${dep})
    endif()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# lw_add_library(<name>
#     SOURCES <files...>
#     [LW_DEPS <suite libraries>]       linked in the same variant
#     [PUBLIC_DEPS <targets>]           needed by the headers
#     [PRIVATE_DEPS <targets>]          needed by the sources only
#     [INCLUDE_DIRS <dirs>]             extra public include folders
#     [DOUBLE_ONLY | EXTENDED_ONLY]     one variant only, named <name>: the
#                                       parts of a double program (cmd_drev,
#                                       velmora) or of the extended halvane
#     [AUTOMOC]                         classes with Q_OBJECT (signals, slots)
#     [AUTOUIC])                        Qt Designer forms (*.ui in SOURCES);
#                                       their ui_*.h are public, so that the
#                                       tests reach the forms' widgets
function(lw_add_library name)
  cmake_parse_arguments(ARG "DOUBLE_ONLY;EXTENDED_ONLY;AUTOMOC;AUTOUIC" ""
    "SOURCES;LW_DEPS;PUBLIC_DEPS;PRIVATE_DEPS;INCLUDE_DIRS" ${ARGN})
  set(variants double extended)
  if(ARG_DOUBLE_ONLY AND ARG_EXTENDED_ONLY)
    message(FATAL_ERROR "lw_add_library(${name}): DOUBLE_ONLY or EXTENDED_ONLY, not both")
  elseif(ARG_DOUBLE_ONLY)
    set(variants double)
  elseif(ARG_EXTENDED_ONLY)
    set(variants extended)
  endif()
  list(LENGTH variants count)
  if(count EQUAL 1)
    set_property(GLOBAL PROPERTY LW_ONLY_VARIANT_${name} ${variants})
  endif()
  foreach(variant IN LISTS variants)
    set(tgt ${name})
    if(variant STREQUAL "extended" AND count GREATER 1)
      set(tgt ${name}_ext)
    endif()
    add_library(${tgt} STATIC ${ARG_SOURCES})
    # Sources include each other by their library's folder
    # (#include "core/LwMatrix.h"), so the project's root is the one path.
    target_include_directories(${tgt} PUBLIC ${PROJECT_SOURCE_DIR} ${ARG_INCLUDE_DIRS})
    lw_variant_deps(lw_deps ${variant} ${ARG_LW_DEPS})
    target_link_libraries(${tgt}
      PUBLIC ${lw_deps} ${ARG_PUBLIC_DEPS}
      PRIVATE ${ARG_PRIVATE_DEPS} lw_warnings)
    if(variant STREQUAL "extended")
      target_compile_definitions(${tgt} PUBLIC LW_EXTENDED_LDOUBLE=1)
    endif()
    if(ARG_AUTOMOC)
      set_target_properties(${tgt} PROPERTIES AUTOMOC ON)
    endif()
    if(ARG_AUTOUIC)
      set_target_properties(${tgt} PROPERTIES AUTOUIC ON)
      target_include_directories(${tgt} PUBLIC ${CMAKE_CURRENT_BINARY_DIR}/${tgt}_autogen/include)
    endif()
    set_target_properties(${tgt} PROPERTIES LW_VARIANT ${variant})
  endforeach()
endfunction()

# lw_add_program(<name> VARIANT <double|extended> SOURCES <files...> LW_DEPS <libs...> [DEPS <targets>])
function(lw_add_program name)
  cmake_parse_arguments(ARG "" "VARIANT" "SOURCES;LW_DEPS;DEPS" ${ARGN})
  if(NOT ARG_VARIANT MATCHES "^(double|extended)$")
    message(FATAL_ERROR "lw_add_program(${name}): VARIANT must be double or extended, not '${ARG_VARIANT}'")
  endif()
  lw_variant_deps(lw_deps ${ARG_VARIANT} ${ARG_LW_DEPS})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${lw_deps} ${ARG_DEPS} lw_warnings)
  set_target_properties(${name} PROPERTIES LW_VARIANT ${ARG_VARIANT})
  set_property(GLOBAL APPEND PROPERTY LW_PROGRAMS ${name})
endfunction()

# lw_add_benchmark(<name> SOURCES <files...> [VARIANT double|extended]
#                  [LW_DEPS <libs...>] [DEPS <targets>] [DEFINITIONS <defs>])
# One Google Benchmark program (double unless told), run by hand as
# build/benchmarks/<name>. DEFINITIONS name its input files.
function(lw_add_benchmark name)
  cmake_parse_arguments(ARG "" "VARIANT" "SOURCES;LW_DEPS;DEPS;DEFINITIONS" ${ARGN})
  if(NOT ARG_VARIANT)
    set(ARG_VARIANT double)
  endif()
  lw_add_program(${name} VARIANT ${ARG_VARIANT} SOURCES ${ARG_SOURCES}
    LW_DEPS ${ARG_LW_DEPS} DEPS ${ARG_DEPS} benchmark::benchmark)
  if(ARG_DEFINITIONS)
    target_compile_definitions(${name} PRIVATE ${ARG_DEFINITIONS})
  endif()
endfunction()

# lw_add_test_main(<main> SOURCES <files...> [DEPS <targets>] [DEFINITIONS <defs>])
# A main shared by several test binaries (lw_add_test MAIN <main>), compiled
# once. A main touches neither LDouble nor the suite's libraries, so one
# build serves the binaries of both variants.
function(lw_add_test_main main)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;DEFINITIONS" ${ARGN})
  set(tgt lw_test_main_${main})
  add_library(${tgt} OBJECT ${ARG_SOURCES})
  target_link_libraries(${tgt} PUBLIC GTest::gtest ${ARG_DEPS} PRIVATE lw_warnings)
  target_compile_definitions(${tgt} PRIVATE ${ARG_DEFINITIONS})
  target_compile_options(${tgt} PRIVATE -g0)
endfunction()

# lw_add_test(<name> LABEL <label> SOURCES <files...> LW_DEPS <libs...>
#             [VARIANTS <double|extended>...] [DEPS <targets>] [TIMEOUT <s>]
#             [MAIN <main>] [QT])
# One GoogleTest binary per variant (double unless told): with one variant it
# is <name>; with both, <name> and <name>_ext, each linking its variant of
# LW_DEPS. Every test case becomes a CTest test labelled with the library it
# checks, so `ctest -L core` picks one library. QT marks a binary that makes a
# QApplication (every test runs offscreen, see below).
#   MAIN        a shared main (lw_add_test_main, tests/CMakeLists.txt) in
#               place of GoogleTest's; a binary whose SOURCES hold a main of
#               its own needs none (its main wins over GoogleTest's)
#   VARIANT     the same as VARIANTS with one variant
#
# No test reserves cores with CTest's PROCESSORS, not even one that runs
# threads: `ctest -j` bounds the programs that run at once, and teams that
# overlap share the cores, their waiting threads asleep (below). Every test
# runs with
#   OMP_WAIT_POLICY=passive   several test programs run at once, each with its
#                             own OpenMP team: waiting threads must sleep
#                             rather than spin, or they starve each other;
#   QT_QPA_PLATFORM=offscreen no test needs a display.
function(lw_add_test name)
  cmake_parse_arguments(ARG "QT" "LABEL;VARIANT;TIMEOUT;MAIN" "SOURCES;LW_DEPS;DEPS;VARIANTS" ${ARGN})
  set(variants ${ARG_VARIANTS} ${ARG_VARIANT})
  if(NOT variants)
    set(variants double)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set(main GTest::gtest_main)
  if(ARG_MAIN)
    set(main lw_test_main_${ARG_MAIN})
    if(NOT TARGET ${main})
      message(FATAL_ERROR "lw_add_test(${name}): no shared test main '${ARG_MAIN}' (lw_add_test_main)")
    endif()
  endif()
  list(LENGTH variants count)
  foreach(variant IN LISTS variants)
    set(tgt ${name})
    if(variant STREQUAL "extended" AND count GREATER 1)
      set(tgt ${name}_ext)
    endif()
    lw_add_program(${tgt} VARIANT ${variant} SOURCES ${ARG_SOURCES}
      LW_DEPS ${ARG_LW_DEPS} DEPS ${ARG_DEPS} GTest::gtest ${main})
    # GoogleTest's headers dominate the compile time of every test file.
    # Debug information for the many GoogleTest expansions costs more build time
    # than it is worth in CI; a developer debugging a test builds with -g.
    target_precompile_headers(${tgt} PRIVATE <gtest/gtest.h> <string> <vector>)
    target_compile_options(${tgt} PRIVATE -g0)
    target_include_directories(${tgt} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common)
    target_compile_definitions(${tgt} PRIVATE
      LW_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
      LW_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    # gtest_discover_tests flattens a list-valued property into separate
    # arguments, so the two variables go in two single-valued properties.
    gtest_discover_tests(${tgt}
      DISCOVERY_MODE PRE_TEST
      PROPERTIES LABELS ${ARG_LABEL} TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT OMP_WAIT_POLICY=passive
        ENVIRONMENT_MODIFICATION QT_QPA_PLATFORM=set:offscreen)
  endforeach()
endfunction()

# The suite targets reachable from <tgt> through its link libraries, by
# their LW_VARIANT: appends "<target>=<variant>" to the list <out>.
function(lw_collect_variants tgt out)
  set(result ${${out}})
  set(pending ${tgt})
  set(seen "")
  while(pending)
    list(POP_FRONT pending t)
    if(t IN_LIST seen OR NOT TARGET ${t})
      continue()
    endif()
    list(APPEND seen ${t})
    get_target_property(v ${t} LW_VARIANT)
    if(v)
      list(APPEND result "${t}=${v}")
    endif()
    get_target_property(type ${t} TYPE)
    set(links "")
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct ${t} LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(iface ${t} INTERFACE_LINK_LIBRARIES)
    if(iface)
      list(APPEND links ${iface})
    endif()
    foreach(l IN LISTS links)
      # A static library's private dependencies appear as $<LINK_ONLY:dep>.
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" l "${l}")
      if(NOT l MATCHES "^\\$<" AND TARGET ${l})
        list(APPEND pending ${l})
      endif()
    endforeach()
  endwhile()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# Stops the configuration when a program or test links suite libraries of
# the other variant than its own (directly or through another library).
function(lw_check_variants)
  get_property(programs GLOBAL PROPERTY LW_PROGRAMS)
  foreach(p IN LISTS programs)
    get_target_property(own ${p} LW_VARIANT)
    set(found "")
    lw_collect_variants(${p} found)
    set(wrong "")
    foreach(entry IN LISTS found)
      if(NOT entry MATCHES "=${own}$")
        string(REGEX REPLACE "=.*" "" lib "${entry}")
        list(APPEND wrong ${lib})
      endif()
    endforeach()
    if(wrong)
      list(JOIN wrong ", " wrong)
      message(SEND_ERROR "${p} is a ${own} program but links the other variant of: ${wrong}. "
        "Link one variant of every suite library (LW_DEPS of lw_add_program/lw_add_test).")
    endif()
  endforeach()
endfunction()

# Runs once, when the top-level CMakeLists has declared every target.
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL lw_check_variants)
