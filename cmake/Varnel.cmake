# varnel_add_test(<name> LABEL <unit|integration|gui> SOURCES <files...> LIBS <targets...>)
# Builds one GoogleTest executable and registers its cases with CTest under the given label.
function(varnel_add_test name)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_LABEL)
    set(ARG_LABEL unit)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} test_support GTest::gtest GTest::gmock Threads::Threads)
  gtest_discover_tests(${name} PROPERTIES LABELS ${ARG_LABEL} DISCOVERY_TIMEOUT 60)
endfunction()

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
endfunction()
