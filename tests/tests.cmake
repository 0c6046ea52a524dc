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
# The Group Policy template that the installer ships.
add_test(NAME build.policy_template COMMAND python3 ${tests}/policy_template_test.py ${CMAKE_SOURCE_DIR})
set_tests_properties(build.policy_template PROPERTIES LABELS build)

# The Wine prefixes every Windows run copies, made once before them: 32-bit
# Windows, and 64-bit Windows for what only it has (two registry views,
# System32 redirection).
foreach(kind win32 win64)
  add_test(NAME wine.prefix_${kind} COMMAND ${tests}/e2e/run_one.sh --prepare ${kind})
  set_tests_properties(wine.prefix_${kind} PROPERTIES LABELS wine FIXTURES_SETUP prefix_${kind} TIMEOUT 600)
endforeach()

# How a prefix is made, with a stand-in for Wine that fails on demand: run
# with the driver's own tests, as the end-to-end results rest on it too.
add_test(NAME e2e.prefix_steps COMMAND ${tests}/e2e/prefix_steps_test.sh)
set_tests_properties(e2e.prefix_steps PROPERTIES LABELS driver TIMEOUT 60)

# The Windows test program in two Wine starts, each running half of the
# cases (GoogleTest's shards) so that the two run side by side, each judged
# by its results file.
foreach(shard 0 1)
  add_test(NAME wine.unit_tests_win32.${shard}
    COMMAND ${CMAKE_COMMAND} -E env GTEST_TOTAL_SHARDS=2 GTEST_SHARD_INDEX=${shard}
            ${tests}/wine_gtest.sh ${VELTRANE_WIN32_DIR}/unit_tests_win32.exe)
  set_tests_properties(wine.unit_tests_win32.${shard} PROPERTIES LABELS wine FIXTURES_REQUIRED prefix_win32 TIMEOUT 1200)
endforeach()
add_test(NAME wine.unit_tests_win32_on_win64
  COMMAND ${tests}/wine_gtest.sh ${VELTRANE_WIN32_DIR}/unit_tests_win32.exe win64 "PlatformWin64*")
set_tests_properties(wine.unit_tests_win32_on_win64 PROPERTIES LABELS wine FIXTURES_REQUIRED prefix_win64 TIMEOUT 600)

file(GLOB e2e_tests CONFIGURE_DEPENDS ${tests}/e2e/*.vdr)
foreach(file ${e2e_tests})
  get_filename_component(name ${file} NAME_WE)
  set(labels e2e)
  if(name MATCHES "^driver_")
    set(labels driver)
  endif()
  # "#! prefix: win64" in the script asks for 64-bit Windows.
  file(STRINGS ${file} kind REGEX "^#! prefix: *win64")
  set(prefix prefix_win32)
  if(kind)
    set(prefix prefix_win64)
  endif()
  add_test(NAME e2e.${name} COMMAND ${tests}/e2e/run_one.sh ${file})
  set_tests_properties(e2e.${name} PROPERTIES LABELS "${labels}" FIXTURES_REQUIRED ${prefix} TIMEOUT 400)
endforeach()

file(GLOB fuzz_sources CONFIGURE_DEPENDS ${tests}/fuzz/*.cpp)
foreach(source ${fuzz_sources})
  get_filename_component(target ${source} NAME_WE)
  add_test(NAME fuzz.${target} COMMAND ${tests}/run_fuzz.sh ${VELTRANE_FUZZ_DIR}/${target})
  set_tests_properties(fuzz.${target} PROPERTIES LABELS fuzz TIMEOUT 600)
endforeach()
