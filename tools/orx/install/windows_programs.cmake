# Part of orx's install (install/CMakeLists.txt): the Windows programs that
# `orx pack --archive` and `orx archive` use when no other is named, taken
# from a release folder (the win32 preset's `release` target makes one:
# build/win32/release) and checked against that folder's SHA256SUMS first,
# so that the package carries what was checked and hashed:
#   <prefix>/share/orx/{Tarrow,Orx_DelTool,Orx_DecryptFile}.exe (mode 644:
#     data for orx, not programs for this system)
#   <prefix>/share/doc/orx/SHA256SUMS (their three lines)
# ORX_WINDOWS_PROGRAMS, when set (cmake -DORX_WINDOWS_PROGRAMS=DIR -P
# cmake_install.cmake), names another such folder, such as one of the
# win64 build's programs for a run under wine64; else the configured
# ORX_WINDOWS_RELEASE (set before this script by install(CODE)).
if(NOT DEFINED ORX_WINDOWS_PROGRAMS)
  set(ORX_WINDOWS_PROGRAMS "${ORX_WINDOWS_RELEASE}")
endif()
set(programs Tarrow.exe Orx_DelTool.exe Orx_DecryptFile.exe)
set(sums "${ORX_WINDOWS_PROGRAMS}/SHA256SUMS")
if(NOT EXISTS "${sums}")
  message(FATAL_ERROR "orx's package carries the Windows programs of a release folder, and "
    "${ORX_WINDOWS_PROGRAMS} has no SHA256SUMS. Make it with\n"
    "  cmake --preset win32 && cmake --build --preset win32 --target release\n"
    "or name another with -DORX_WINDOWS_RELEASE=DIR when configuring.")
endif()
file(STRINGS "${sums}" lines)
set(kept "")
foreach(program IN LISTS programs)
  set(file "${ORX_WINDOWS_PROGRAMS}/${program}")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "${file} is missing: orx's package carries ${programs}")
  endif()
  file(SHA256 "${file}" hash)
  list(FIND lines "${hash}  ${program}" at)
  if(at LESS 0)
    message(FATAL_ERROR "${file} is not the file ${sums} lists (SHA-256 ${hash})")
  endif()
  string(APPEND kept "${hash}  ${program}\n")
  list(APPEND files "${file}")
endforeach()
file(INSTALL ${files} DESTINATION "${CMAKE_INSTALL_PREFIX}/share/orx"
  PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(WRITE "${ORX_INSTALL_WORK}/SHA256SUMS" "${kept}")
file(INSTALL "${ORX_INSTALL_WORK}/SHA256SUMS" DESTINATION "${CMAKE_INSTALL_PREFIX}/share/doc/orx"
  PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
