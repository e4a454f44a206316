# dq_add_test_suite(<target> LABEL <label> SOURCES <files...> LIBS <targets...>)
# One GoogleTest binary; every test case runs in a process of its own (see tests/support),
# so each gets a fresh HOME, XDG_CONFIG_HOME, TMPDIR and TEMP.
function(dq_add_test_suite target)
  cmake_parse_arguments(ARG "" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock Threads::Threads)
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS ${ARG_LABEL} TIMEOUT ${ARG_TIMEOUT})
endfunction()
