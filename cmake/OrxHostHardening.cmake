# The host build (orx, and everything linked into it) with the hardening a
# Debian package gets from dpkg-buildflags: the stack protector (strong),
# _FORTIFY_SOURCE, full RELRO with immediate binding, PIE, stack-clash
# protection and control-flow protection (CET's IBT and shadow stack
# markers). The flags come from dpkg-buildflags, asked for its whole
# hardening set, where it is installed; a feature it does not give (Debian
# 12's has no stack-clash or control-flow feature; other systems have no
# dpkg-buildflags at all) is spelled out here, as far as the compiler and
# linker take it. The test orx.installed runs hardening-check on the
# packaged orx.
if(NOT ORX_HOST)
  return()
endif()
include(CheckCXXCompilerFlag)
include(CheckLinkerFlag)
include(CheckPIESupported)

set(ORX_HARDENING_COMPILE "")
set(ORX_HARDENING_LINK "")
find_program(ORX_DPKG_BUILDFLAGS dpkg-buildflags)
if(ORX_DPKG_BUILDFLAGS)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${ORX_DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed")
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    # Debugging, optimisation and path mapping stay the build type's.
    list(FILTER flags EXCLUDE REGEX "^-(g|O).*|^-f[a-z]*-prefix-map=")
    if(kind STREQUAL "LDFLAGS")
      list(APPEND ORX_HARDENING_LINK ${flags})
    else()
      list(APPEND ORX_HARDENING_COMPILE ${flags})
    endif()
  endforeach()
endif()

# orx_hardening_default(<compile|link> <regex of a given flag> <flags>...):
# the flags, unless dpkg-buildflags gave one matching the regex, and only
# where the toolchain takes them.
function(orx_hardening_default kind given)
  if(kind STREQUAL "compile")
    set(list ORX_HARDENING_COMPILE)
  else()
    set(list ORX_HARDENING_LINK)
  endif()
  foreach(flag IN LISTS ${list})
    if(flag MATCHES "${given}")
      return()
    endif()
  endforeach()
  string(MAKE_C_IDENTIFIER "ORX_TAKES${ARGN}" var)
  if(kind STREQUAL "compile")
    check_cxx_compiler_flag("${ARGN}" ${var})
  else()
    check_linker_flag(CXX "${ARGN}" ${var})
  endif()
  if(${var})
    set(${list} ${${list}} ${ARGN} PARENT_SCOPE)
  endif()
endfunction()

orx_hardening_default(compile "^-fstack-protector" -fstack-protector-strong)
orx_hardening_default(compile "^-D_FORTIFY_SOURCE=" -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2)
orx_hardening_default(compile "^-fstack-clash-protection$" -fstack-clash-protection)
orx_hardening_default(compile "^-fcf-protection" -fcf-protection)
orx_hardening_default(link "^-Wl,-z,relro$" -Wl,-z,relro)
orx_hardening_default(link "^-Wl,-z,now$" -Wl,-z,now)

# PIE: compiled position-independent and linked as PIE (most compilers of
# today do both by default, dpkg-buildflags then gives nothing for it).
check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

message(STATUS "Hardening: ${ORX_HARDENING_COMPILE}; linked with ${ORX_HARDENING_LINK}")
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:${ORX_HARDENING_COMPILE}>")
add_link_options(${ORX_HARDENING_LINK})
