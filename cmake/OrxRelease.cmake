# The shipped files and their static checks, one table for both MinGW
# builds: each row is the test shipped.<target> of the built file in win64
# and win32 (testing/pe/pecheck.py), and in win32 a file of the release:
#
#   cmake --build --preset win32 --target release
#
# copies them into build/win32/release with SHA256SUMS (sha256sum format)
# and FILES.txt (what each file is), after checking those copies once more
# with the same checks; a failed check leaves no release folder
# (scripts/release.py). The test release.reproducible builds the release
# twice, from two source and build folders at two times, and requires the
# same bytes.
if(NOT ORX_WINDOWS)
  return()
endif()

set(ORX_RELEASE_TABLE ${CMAKE_BINARY_DIR}/release-files.tsv)
set(ORX_RELEASE_ROWS "")
set(ORX_RELEASE_TARGETS "")

# orx_shipped_file(<target> "<what it is>" <pecheck arguments>...)
# One shipped file. Every file is also checked for the build's machine, the
# layout-randomisation and no-execute flags (and high-entropy addresses in
# 64 bits), for holding no OpenSSL name, for no structured exception
# handler outside a table of safe ones (32-bit) and for the stack guard
# and its initialiser in its linker map (<target>.map beside its objects,
# as orx_small_program and orx_dll write it); the arguments add what is
# particular to it. A new pecheck flag for a file is one more argument on
# its line; the word MAP in them stands for the file's map.
function(orx_shipped_file target what)
  set(map $<TARGET_PROPERTY:${target},BINARY_DIR>/${target}.map)
  list(TRANSFORM ARGN REPLACE "^MAP:" "${map}:")
  set(checks --no-seh --stack-guard ${map} ${ARGN})
  orx_pe_test(NAME shipped.${target} FILE ${target} ARGS ${checks})
  list(JOIN checks " " checks)
  set(ORX_RELEASE_TARGETS ${ORX_RELEASE_TARGETS} ${target} PARENT_SCOPE)
  set(ORX_RELEASE_ROWS "${ORX_RELEASE_ROWS}$<TARGET_FILE:${target}>\t$<TARGET_FILE_NAME:${target}>\t${what}\t${checks}\n"
    PARENT_SCOPE)
endfunction()

set(ORX_OSTREL_EXPORTS
  ZT_GetUserDefaultLang ZT_GetUserDefaultLangStringA ZT_GetUserDefaultLangStringW
  ZT_ReadINIFileA ZT_ReadINIFileW ZT_WriteINIFileA ZT_WriteINIFileW
  ZT_GetLastErrorCode ZT_IsBuildinLocalAdminGroup ZT_ValidatePasswordA ZT_ValidatePasswordW)
list(JOIN ORX_OSTREL_EXPORTS "," ORX_OSTREL_EXPORTS)

# MAP:__stack_chk_fail: the file has functions the protector guards (the
# cleanup tool has none that -fstack-protector-strong picks).
orx_shipped_file(Tarrow
  "The archive stub: heads every archive, carries the two programs and the payload"
  --subsystem gui --max-size ${ORX_STUB_SLOT} --system-dlls-only --no-tls
  --manifest-level asInvoker --resource ICON_GROUP:103 --resource DIALOG:104
  --map-symbol MAP:__stack_chk_fail)
orx_shipped_file(Orx_DelTool
  "The cleanup tool: deletes the decryptor (and a file that failed its check) once it has ended"
  --subsystem console --max-size ${ORX_CLEANUP_SLOT} --system-dlls-only --no-tls
  --manifest-level asInvoker)
orx_shipped_file(Orx_DecryptFile
  "The decryptor: asks for the password, decrypts and verifies the file"
  --subsystem gui --max-size ${ORX_DECRYPTOR_SLOT} --system-dlls-only --no-tls
  --manifest-level asInvoker --resource DIALOG:102 --resource BITMAP:144 --resource ICON_GROUP:128
  --map-symbol MAP:__stack_chk_fail)
orx_shipped_file(Ostrel
  "Library: interface language, settings, Administrators membership, password rules"
  --dll --exports ${ORX_OSTREL_EXPORTS} --imports-allowed kernel32.dll,advapi32.dll,version.dll,msvcrt.dll
  --imports-required advapi32.dll,version.dll --map-symbol MAP:__stack_chk_fail)
orx_shipped_file(Mirwell
  "Library: localized error titles and messages, shown in the error window"
  --dll --exports GetErrorMessage,ShowErrorMessage
  --imports-allowed Ostrel.dll,kernel32.dll,user32.dll,msvcrt.dll --imports-required Ostrel.dll
  --safe-seh-handlers MAP:mirwell_guard_handler --map-symbol MAP:__stack_chk_fail)
orx_shipped_file(MirwellUI
  "Library: the error window that Mirwell.dll shows"
  --dll --exports _ShowErrorMsg --imports-allowed kernel32.dll,user32.dll,gdi32.dll,msvcrt.dll
  --map-symbol MAP:__stack_chk_fail)

if(NOT ORX_BITS EQUAL 32)
  return()
endif()

file(GENERATE OUTPUT ${ORX_RELEASE_TABLE} CONTENT "${ORX_RELEASE_ROWS}")

add_custom_target(release
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/release.py
          --table ${ORX_RELEASE_TABLE} --out ${CMAKE_BINARY_DIR}/release
          --pecheck ${CMAKE_SOURCE_DIR}/testing/pe/pecheck.py
          --common-checks "--machine 32 --never-names libcrypto"
  COMMENT "Release folder build/win32/release: shipped files, SHA256SUMS, FILES.txt"
  VERBATIM)
add_dependencies(release ${ORX_RELEASE_TARGETS})

add_test(NAME release.reproducible
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/check_reproducible.py
          --source ${CMAKE_SOURCE_DIR} --work ${CMAKE_BINARY_DIR}/repro --preset win32)
set_tests_properties(release.reproducible PROPERTIES LABELS "repro" TIMEOUT 600)
