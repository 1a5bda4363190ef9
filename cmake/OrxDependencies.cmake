# Third-party code: OpenSSL's libcrypto on the host only (the crypto
# provider of orx, the tests and the benchmarks there; every Windows image
# uses the system's CNG instead), and GoogleTest for every preset.
#
# The host build uses Debian's libssl-dev and libgtest-dev. The MinGW builds
# compile GoogleTest from /usr/src/googletest under the same target names,
# GTest::gtest and GTest::gtest_main.

if(ORX_HOST)
  find_package(OpenSSL 3.0 REQUIRED COMPONENTS Crypto)
  find_package(GTest REQUIRED)
  return()
endif()

# Also in win32, where test programs are compiled (so that the portable code
# is seen by the 32-bit compiler) but not run.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# Test programs carry their C++ runtime inside, so that a Wine prefix
# needs no MinGW DLLs.
foreach(t gtest gtest_main)
  target_link_options(${t} INTERFACE -static)
  target_compile_options(${t} PRIVATE -w)
endforeach()
