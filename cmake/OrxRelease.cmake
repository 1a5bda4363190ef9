# The release of the shipped 32-bit files (win32 preset only):
#
#   cmake --build --preset win32 --target release
#
# copies them into build/win32/release with SHA256SUMS (sha256sum format)
# and FILES.txt (what each file is), after checking those copies once more
# with testing/pe/pecheck.py; a failed check leaves no release folder
# (scripts/release.py). The test release.reproducible builds the release
# twice, from two source and build folders at two times, and requires the
# same bytes.
if(NOT ORX_WINDOWS OR NOT ORX_BITS EQUAL 32)
  return()
endif()

set(ORX_RELEASE_TABLE ${CMAKE_BINARY_DIR}/release-files.tsv)
set(ORX_RELEASE_ROWS "")
set(ORX_RELEASE_TARGETS "")

# orx_release_file(<target> "<what it is>" <pecheck arguments>...)
# One shipped file. Every file is also checked for the 32-bit machine, the
# layout-randomisation and no-execute flags and for holding no OpenSSL name;
# the arguments add what is particular to it. A new pecheck flag for a file
# is one more argument on its line.
function(orx_release_file target what)
  list(JOIN ARGN " " checks)
  set(ORX_RELEASE_TARGETS ${ORX_RELEASE_TARGETS} ${target} PARENT_SCOPE)
  set(ORX_RELEASE_ROWS "${ORX_RELEASE_ROWS}$<TARGET_FILE:${target}>\t$<TARGET_FILE_NAME:${target}>\t${what}\t${checks}\n"
    PARENT_SCOPE)
endfunction()

orx_release_file(Tarrow
  "The archive stub: heads every archive, carries the two programs and the payload"
  --subsystem gui --max-size ${ORX_STUB_SLOT} --system-dlls-only --no-tls
  --manifest-level asInvoker --no-seh --resource ICON_GROUP:103)
orx_release_file(Orx_DelTool
  "The cleanup tool: deletes the decryptor (and a file that failed its check) once it has ended"
  --subsystem console --max-size ${ORX_CLEANUP_SLOT} --system-dlls-only --no-tls
  --manifest-level asInvoker --no-seh)
orx_release_file(Orx_DecryptFile
  "The decryptor: asks for the password, decrypts and verifies the file"
  --subsystem gui --max-size ${ORX_DECRYPTOR_SLOT} --system-dlls-only --no-tls
  --manifest-level asInvoker --no-seh --resource DIALOG:102 --resource BITMAP:144 --resource ICON_GROUP:128)
orx_release_file(Ostrel
  "Library: interface language, settings, Administrators membership, password rules"
  --dll --imports-allowed kernel32.dll,advapi32.dll,version.dll,msvcrt.dll)
orx_release_file(Mirwell
  "Library: localized error titles and messages, shown in the error window"
  --dll --imports-allowed Ostrel.dll,kernel32.dll,user32.dll,msvcrt.dll --imports-required Ostrel.dll)
orx_release_file(MirwellUI
  "Library: the error window that Mirwell.dll shows"
  --dll --imports-allowed kernel32.dll,user32.dll,gdi32.dll,msvcrt.dll --exports _ShowErrorMsg)

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
