# What this build targets, and how the tiny programs are linked.
#
#   ORX_WINDOWS    the MinGW presets (win64, win32)
#   ORX_HOST       the native Linux preset
#   ORX_RUNS_HERE  the Windows binaries can be run here (x86-64 under wine64);
#                  the i686 build is only checked statically
set(ORX_WINDOWS OFF)
set(ORX_HOST ON)
set(ORX_RUNS_HERE OFF)
set(ORX_BITS 64)
if(WIN32)
  set(ORX_WINDOWS ON)
  set(ORX_HOST OFF)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(ORX_BITS 32)
  else()
    set(ORX_RUNS_HERE ON)
  endif()
endif()

if(ORX_WINDOWS)
  enable_language(RC)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  # Address-space layout randomisation and no-execute data for every image.
  add_link_options(-Wl,--dynamicbase -Wl,--nxcompat)
  if(ORX_BITS EQUAL 64)
    add_link_options(-Wl,--high-entropy-va)
  endif()
endif()
add_compile_options(-Wall -Wextra)

# Slots of the archive: the stub's own image and the two programs it carries.
set(ORX_STUB_SLOT 24576)
set(ORX_CLEANUP_SLOT 12288)
set(ORX_DECRYPTOR_SLOT 41472)

# orx_tiny_program(<target> ENTRY <function> SUBSYSTEM windows|console
#                  SOURCES ... [LIBS ...])
# A Windows program without the C runtime's start-up code: its own entry
# point (an extern "C" __stdcall function without arguments), no C++
# exceptions, RTTI or unwind tables, and only the system DLLs in LIBS.
# No -fdata-sections: for PE targets GCC would then store zero-filled
# globals as initialised data, which costs their whole size in the file.
# Without the start-up code there are no global constructors and no atexit.
function(orx_tiny_program target)
  cmake_parse_arguments(P "" "ENTRY;SUBSYSTEM" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${P_SOURCES})
  if(ORX_BITS EQUAL 32)
    set(entry "_${P_ENTRY}@0")
  else()
    set(entry "${P_ENTRY}")
  endif()
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX,C>:-Os -fno-exceptions -fno-asynchronous-unwind-tables
      -fno-unwind-tables -fno-stack-protector -ffunction-sections
      -fno-ident -fno-stack-check>
    $<$<COMPILE_LANGUAGE:CXX>:-fno-rtti -fno-threadsafe-statics>)
  target_link_options(${target} PRIVATE -nostdlib -s -Wl,--gc-sections
    -Wl,--entry=${entry} -Wl,--subsystem,${P_SUBSYSTEM})
  target_link_libraries(${target} PRIVATE ${P_LIBS} gcc)
endfunction()
