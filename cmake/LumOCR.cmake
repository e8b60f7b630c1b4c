# Shared build settings for our own targets.

# Warnings are errors in our code only; outside headers come in as SYSTEM.
function(lum_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# One GoogleTest executable per subsystem, built from <subsystem>/tests/*.cpp.
# CTest labels come from the suite name: a suite ending in "Peer" is labelled
# peer, "E2E" e2e, "Slow" slow; every other suite is unit.
#   lum_add_test_suite(NAME imaging_tests LIBS lumimaging [DEPENDS target...])
function(lum_add_test_suite)
  cmake_parse_arguments(ARG "" "NAME" "LIBS;DEPENDS" ${ARGN})
  if(NOT LUM_BUILD_TESTS)
    return()
  endif()
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${ARG_NAME} ${sources})
  lum_target_defaults(${ARG_NAME})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} lumtestsupport GTest::gmock GTest::gtest_main)
  target_compile_definitions(${ARG_NAME} PRIVATE
    LUM_TESTDATA="${LUM_TESTDATA}"
    LUM_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    LUM_BINARY_DIR="${CMAKE_BINARY_DIR}")
  if(ARG_DEPENDS)
    add_dependencies(${ARG_NAME} ${ARG_DEPENDS})
  endif()
  set(common DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  # Tests run side by side: OpenMP in the recognition engine must not
  # start a thread per core in each of them.
  set(env ENVIRONMENT OMP_THREAD_LIMIT=1)
  gtest_discover_tests(${ARG_NAME} ${common}
    TEST_FILTER "-*Peer.*:*E2E.*:*Slow.*" PROPERTIES LABELS unit ${env})
  gtest_discover_tests(${ARG_NAME} ${common}
    TEST_FILTER "*Peer.*" PROPERTIES LABELS peer ${env})
  gtest_discover_tests(${ARG_NAME} ${common}
    TEST_FILTER "*E2E.*" PROPERTIES LABELS e2e ${env})
  gtest_discover_tests(${ARG_NAME} ${common}
    TEST_FILTER "*Slow.*" PROPERTIES LABELS slow ${env})
endfunction()

# Adds every subfolder of the current folder that has its own CMakeLists.txt
# (one folder per tool or benchmark).
function(lum_add_program_folders)
  file(GLOB entries CONFIGURE_DEPENDS LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(entry ${entries})
    if(IS_DIRECTORY ${entry} AND EXISTS ${entry}/CMakeLists.txt)
      add_subdirectory(${entry})
    endif()
  endforeach()
endfunction()
