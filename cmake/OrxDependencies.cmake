# OpenSSL libcrypto and GoogleTest for every preset.
#
# The host build uses Debian's libssl-dev and libgtest-dev. The MinGW builds
# use the libcrypto that scripts/setup.sh builds from Debian's source package
# into the dependency cache, and compile GoogleTest from /usr/src/googletest.
# Both are exposed under the same target names: OpenSSL::Crypto, GTest::gtest,
# GTest::gtest_main.

if(ORX_HOST)
  find_package(OpenSSL 3.0 REQUIRED COMPONENTS Crypto)
  find_package(GTest REQUIRED)
  return()
endif()

if(DEFINED ENV{ORX_DEPS_DIR})
  set(_orx_deps "$ENV{ORX_DEPS_DIR}")
elseif(DEFINED ENV{XDG_CACHE_HOME})
  set(_orx_deps "$ENV{XDG_CACHE_HOME}/orvanta-deps")
else()
  set(_orx_deps "$ENV{HOME}/.cache/orvanta-deps")
endif()
file(GLOB _orx_ssl_dirs LIST_DIRECTORIES true "${_orx_deps}/openssl-*-${ORX_MINGW_TRIPLET}")
list(SORT _orx_ssl_dirs)
list(POP_BACK _orx_ssl_dirs ORX_OPENSSL_ROOT)
if(NOT ORX_OPENSSL_ROOT OR NOT EXISTS "${ORX_OPENSSL_ROOT}/.complete")
  message(FATAL_ERROR "libcrypto for ${ORX_MINGW_TRIPLET} not found in ${_orx_deps}; run scripts/setup.sh")
endif()
file(GLOB ORX_OPENSSL_DLL "${ORX_OPENSSL_ROOT}/bin/libcrypto-3*.dll")
add_library(OpenSSL::Crypto SHARED IMPORTED GLOBAL)
set_target_properties(OpenSSL::Crypto PROPERTIES
  IMPORTED_LOCATION "${ORX_OPENSSL_DLL}"
  IMPORTED_IMPLIB "${ORX_OPENSSL_ROOT}/lib/libcrypto.dll.a"
  INTERFACE_INCLUDE_DIRECTORIES "${ORX_OPENSSL_ROOT}/include")
# Programs in bin/ find the DLL beside them.
file(COPY "${ORX_OPENSSL_DLL}" DESTINATION "${CMAKE_BINARY_DIR}/bin")
get_filename_component(ORX_OPENSSL_DLL_NAME "${ORX_OPENSSL_DLL}" NAME)

# Also in win32, where test programs are compiled (so that the portable code
# is seen by the 32-bit compiler) but not run.
if(ORX_WINDOWS)
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
endif()
