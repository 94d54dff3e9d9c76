find_package(GTest REQUIRED)
include(GoogleTest)

set(NORVANE_TEST_BIN_DIR ${CMAKE_BINARY_DIR}/tests/bin)

# The shared test entry: gives each test process a private home folder.
add_library(norvane_test_main STATIC ${CMAKE_SOURCE_DIR}/tests/support/test_main.cpp)
target_link_libraries(norvane_test_main PUBLIC GTest::gtest GTest::gmock)
target_include_directories(norvane_test_main PUBLIC ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/src)

# norvane_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [LABELS l])
# One GoogleTest executable; every test case becomes one CTest test, run in
# its own process. Test programs that need a display set QT_QPA_PLATFORM
# themselves (see tests/support).
function(norvane_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} norvane_test_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${NORVANE_TEST_BIN_DIR})
  target_compile_definitions(${name} PRIVATE
    NORVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    NORVANE_BIN_DIR="${NORVANE_BIN_DIR}"
    NORVANE_TEST_BIN_DIR="${NORVANE_TEST_BIN_DIR}")
  set(props TIMEOUT 300)
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${props})
endfunction()
