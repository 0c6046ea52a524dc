# Every test, registered with CTest in the host build. The Windows and fuzz
# builds have folders of their own; their programs are run from here.
#   ctest --test-dir build/host -j2 --output-on-failure
#   ctest --test-dir build/host -L e2e -R presence     (some of them)
# Labels: host (each GoogleTest case of the host build), wine (a Windows test
# program under Wine), e2e (one veltrane.exe session each), driver (the
# end-to-end driver's own tests), build (the built program itself), fuzz.
enable_testing()
include(GoogleTest)

set(VELTRANE_WIN32_DIR ${CMAKE_SOURCE_DIR}/build/win32 CACHE PATH "Folder of the Windows build")
set(VELTRANE_FUZZ_DIR ${CMAKE_SOURCE_DIR}/build/fuzz CACHE PATH "Folder of the fuzz build")
set(tests ${CMAKE_SOURCE_DIR}/tests)

# A skipped or disabled case is judged by the test main (tests/allowed_skips.txt):
# only a listed one counts as skipped, an unlisted one fails.
gtest_discover_tests(unit_tests
  TEST_PREFIX host.
  NO_PRETTY_VALUES
  DISCOVERY_MODE PRE_TEST
  DISCOVERY_TIMEOUT 60
  PROPERTIES LABELS host TIMEOUT 120 DISABLED FALSE SKIP_REGULAR_EXPRESSION "\\[  ALLOWED SKIP \\]")

add_test(NAME build.veltrane_exe COMMAND ${tests}/check_exe.sh ${VELTRANE_WIN32_DIR}/veltrane.exe)
set_tests_properties(build.veltrane_exe PROPERTIES LABELS build)

# The Wine prefix every Windows run copies, made once before them.
add_test(NAME wine.prefix COMMAND ${tests}/e2e/run_one.sh --prepare)
set_tests_properties(wine.prefix PROPERTIES LABELS wine FIXTURES_SETUP wine_prefix TIMEOUT 600)

# Each Windows test program in one Wine start, judged by its results file.
foreach(program unit_tests_win32)
  add_test(NAME wine.${program} COMMAND ${tests}/wine_gtest.sh ${VELTRANE_WIN32_DIR}/${program}.exe)
  set_tests_properties(wine.${program} PROPERTIES LABELS wine FIXTURES_REQUIRED wine_prefix TIMEOUT 1200)
endforeach()

file(GLOB e2e_tests CONFIGURE_DEPENDS ${tests}/e2e/*.vdr)
foreach(file ${e2e_tests})
  get_filename_component(name ${file} NAME_WE)
  set(labels e2e)
  if(name MATCHES "^driver_")
    set(labels driver)
  endif()
  add_test(NAME e2e.${name} COMMAND ${tests}/e2e/run_one.sh ${file})
  set_tests_properties(e2e.${name} PROPERTIES LABELS "${labels}" FIXTURES_REQUIRED wine_prefix TIMEOUT 400)
endforeach()

file(GLOB fuzz_sources CONFIGURE_DEPENDS ${tests}/fuzz/*.cpp)
foreach(source ${fuzz_sources})
  get_filename_component(target ${source} NAME_WE)
  add_test(NAME fuzz.${target} COMMAND ${tests}/run_fuzz.sh ${VELTRANE_FUZZ_DIR}/${target})
  set_tests_properties(fuzz.${target} PROPERTIES LABELS fuzz TIMEOUT 600)
endforeach()
