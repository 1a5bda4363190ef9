# Test helpers.
#
# Under win64 every test program runs through testing/wine/wine-run.sh (the
# cross-compiling emulator): a private Wine prefix in build/win64/wineprefix
# and a private Xvfb display, both made on first use. Tests that show windows
# take the "desktop" lock so that two of them never share the screen.
#
# Test names follow the folders the tests live in: the top folder (orx for
# tools/orx, e2e for tests/e2e), then the tests' subfolder where there is
# one, then what the test is (decryptor.payload, decryptor.dialog.labels,
# ostrel.exports.de_DE), so that "ctest -R '^decryptor\.'" runs all of the
# decryptor's. The checks of the built files themselves are named for what
# they check: shipped.<file> and release.<what>.
# The system's Python, which has Debian's python3-pefile, before any other
# on the PATH.
if(EXISTS /usr/bin/python3 AND NOT Python3_EXECUTABLE)
  set(Python3_EXECUTABLE /usr/bin/python3)
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(ORX_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
if(ORX_RUNS_HERE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      "${CMAKE_SOURCE_DIR}/testing/wine/wine-run.sh;--prefix;${ORX_WINEPREFIX}")
endif()

# The local user without administrator rights that scripts/setup.sh makes.
set(ORX_TEST_RECIPIENT orxrecipient)

# orx_wine_test(NAME <name> COMMAND <target> [args...] [GUI] [LANG <locale>]
#               [TIMEOUT <s>] [PREFIX <name>] [STANDARD_USER])
# Adds a Windows test program run under wine64; only in the win64 preset.
# GUI tests take their prefix's "desktop" lock, so that two of them never
# share a screen. PREFIX runs the test in a Wine prefix of its own
# (wineprefix-<name>, with its own server and display), so that slow
# end-to-end runs go on beside the other GUI tests. STANDARD_USER runs it
# as a user without administrator rights, in that user's prefix whose
# Windows folder the user may not write (wine-run.sh --user); such a test
# is skipped where the runner cannot switch users.
function(orx_wine_test)
  cmake_parse_arguments(T "GUI;STANDARD_USER" "NAME;LANG;TIMEOUT;PREFIX" "COMMAND" ${ARGN})
  if(NOT ORX_RUNS_HERE)
    return()
  endif()
  set(command ${T_COMMAND})
  set(desktop desktop)
  if(T_STANDARD_USER AND NOT T_PREFIX)
    set(T_PREFIX standard-user)
  endif()
  if(T_PREFIX)
    list(POP_FRONT command program)
    set(user)
    if(T_STANDARD_USER)
      set(user --user ${ORX_TEST_RECIPIENT})
    endif()
    set(command ${CMAKE_SOURCE_DIR}/testing/wine/wine-run.sh --prefix
        ${CMAKE_BINARY_DIR}/wineprefix-${T_PREFIX} ${user} $<TARGET_FILE:${program}> ${command})
    set(desktop desktop-${T_PREFIX})
  endif()
  add_test(NAME ${T_NAME} COMMAND ${command})
  set(env "ORX_BIN_DIR=${CMAKE_BINARY_DIR}/bin")
  if(T_LANG)
    list(APPEND env "LANG=${T_LANG}" "LC_ALL=${T_LANG}")
  else()
    list(APPEND env "LANG=en_US.UTF-8" "LC_ALL=en_US.UTF-8")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT}
    LABELS wine)
  if(T_GUI)
    set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK ${desktop})
  endif()
  if(T_STANDARD_USER)
    set_tests_properties(${T_NAME} PROPERTIES SKIP_RETURN_CODE 77)
  endif()
endfunction()

# orx_unit_test(NAME <folder>.<what> TARGET <test program> [ENVIRONMENT ...])
# A test program of portable code: run natively in the host preset and, as
# compiled by MinGW, under wine64 in the win64 preset (compiled only in
# win32). The same name in every preset.
function(orx_unit_test)
  cmake_parse_arguments(T "" "NAME;TARGET" "ENVIRONMENT" ${ARGN})
  if(ORX_HOST)
    add_test(NAME ${T_NAME} COMMAND ${T_TARGET})
    if(T_ENVIRONMENT)
      set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${T_ENVIRONMENT}")
    endif()
  elseif(ORX_RUNS_HERE)
    orx_wine_test(NAME ${T_NAME} COMMAND ${T_TARGET})
    if(T_ENVIRONMENT)
      set_property(TEST ${T_NAME} APPEND PROPERTY ENVIRONMENT "${T_ENVIRONMENT}")
    endif()
  endif()
endfunction()

# orx_pe_test(NAME <name> FILE <target> ARGS ...)
# Static check of a Windows image with testing/pe/pecheck.py; in both MinGW
# presets, which is how the i686 deliverables are tested at all. No image
# imports or loads OpenSSL: the system's CNG is their crypto.
function(orx_pe_test)
  cmake_parse_arguments(T "" "NAME;FILE" "ARGS" ${ARGN})
  if(NOT ORX_WINDOWS)
    return()
  endif()
  add_test(NAME ${T_NAME}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/testing/pe/pecheck.py
            $<TARGET_FILE:${T_FILE}> --machine ${ORX_BITS} --never-names libcrypto ${T_ARGS})
  set_tests_properties(${T_NAME} PROPERTIES LABELS static)
endfunction()
