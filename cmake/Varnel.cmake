# varnel_add_whole_program_test(<name> [<test properties>...])
# With VARNEL_TEST_WHOLE_PROGRAMS on, the GoogleTest program also runs whole, as a developer runs
# it: every case in one process, in an order shuffled anew each run (GoogleTest prints the seed:
# --gtest_random_seed=<seed> runs that order again). CTest's test "<name>.whole", label whole. A
# case that passes only in a process of its own fails there. It may take the time its cases take
# together on a busy machine: VARNEL_WHOLE_PROGRAM_CASE_TIMEOUT seconds a case, and never less than
# VARNEL_WHOLE_PROGRAM_TIMEOUT; it starts before the single cases so that it does not end the run
# last. A program of
# one case run whole would only run that case again: the test is added when CTest reads the cases
# discovered in the program (call this after gtest_discover_tests) and finds two or more.
function(varnel_add_whole_program_test name)
  if(NOT VARNEL_TEST_WHOLE_PROGRAMS)
    return()
  endif()
  set(properties "")
  foreach(value LABELS whole COST 1000 ${ARGN})
    string(APPEND properties " [==[${value}]==]")
  endforeach()
  set(script "${CMAKE_CURRENT_BINARY_DIR}/${name}_whole.cmake")
  file(GENERATE OUTPUT "${script}" CONTENT
"list(LENGTH ${name}_TESTS count)
if(count GREATER 1)
  math(EXPR timeout \"\${count} * ${VARNEL_WHOLE_PROGRAM_CASE_TIMEOUT}\")
  if(timeout LESS ${VARNEL_WHOLE_PROGRAM_TIMEOUT})
    set(timeout ${VARNEL_WHOLE_PROGRAM_TIMEOUT})
  endif()
  add_test([==[${name}.whole]==] [==[$<TARGET_FILE:${name}>]==] --gtest_shuffle)
  set_tests_properties([==[${name}.whole]==] PROPERTIES TIMEOUT \${timeout}${properties}
    WORKING_DIRECTORY [==[${CMAKE_CURRENT_BINARY_DIR}]==])
endif()
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${script}")
endfunction()

# varnel_add_test(<name> LABEL <unit|integration|concurrency> SOURCES <files...> LIBS <targets...>)
# Builds one GoogleTest executable and registers its cases with CTest under the given label.
function(varnel_add_test name)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_LABEL)
    set(ARG_LABEL unit)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} test_support GTest::gtest GTest::gmock Threads::Threads)
  gtest_discover_tests(${name} PROPERTIES LABELS ${ARG_LABEL} DISCOVERY_TIMEOUT 60)
  varnel_add_whole_program_test(${name})
  if(ARG_LABEL STREQUAL "concurrency")
    add_dependencies(concurrency_tests ${name})
  endif()
endfunction()

# Every test program of the label concurrency: what the ThreadSanitizer build builds.
if(NOT TARGET concurrency_tests)
  add_custom_target(concurrency_tests)
endif()

# A screen test: label gui, run inside a QApplication on the offscreen platform.
function(varnel_add_gui_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} test_gui_support GTest::gtest Threads::Threads)
  # Under AddressSanitizer, the web engine frees some of its own objects through a base type of
  # another size; that check is for our code, which the other tests cover.
  gtest_discover_tests(${name} PROPERTIES LABELS gui ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    ENVIRONMENT_MODIFICATION "ASAN_OPTIONS=string_append::new_delete_type_mismatch=0"
    DISCOVERY_TIMEOUT 60)
  varnel_add_whole_program_test(${name} ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    ENVIRONMENT_MODIFICATION "ASAN_OPTIONS=string_append::new_delete_type_mismatch=0")
endfunction()

# varnel_precompile_headers(<dir>)
# Gives every C++ target below <dir> compiled as three or more translation units a precompiled
# header of the headers most sources include (tests also get GoogleTest's): parsing them once a
# target instead of once a unit saves more than the header costs. In a unity build a unit is up
# to CMAKE_UNITY_BUILD_BATCH_SIZE sources, so only the large targets get one.
function(varnel_precompile_headers dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
      continue()
    endif()
    get_target_property(sources ${target} SOURCES)
    list(FILTER sources INCLUDE REGEX "\\.cpp$")
    list(LENGTH sources count)
    get_target_property(unity ${target} UNITY_BUILD)
    if(unity AND CMAKE_UNITY_BUILD_BATCH_SIZE GREATER 0)
      math(EXPR count "(${count} + ${CMAKE_UNITY_BUILD_BATCH_SIZE} - 1) / ${CMAKE_UNITY_BUILD_BATCH_SIZE}")
    elseif(unity)
      set(count 1)
    endif()
    if(count LESS 3)
      continue()
    endif()
    get_target_property(links ${target} LINK_LIBRARIES)
    set(header ${PROJECT_SOURCE_DIR}/cmake/pch/Common.h)
    if(links AND "GTest::gtest" IN_LIST links)
      set(header ${PROJECT_SOURCE_DIR}/cmake/pch/Test.h)
    endif()
    target_precompile_headers(${target} PRIVATE "$<$<COMPILE_LANGUAGE:CXX>:${header}>")
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir ${subdirs})
    varnel_precompile_headers(${subdir})
  endforeach()
endfunction()
