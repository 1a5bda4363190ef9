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
  # Reproducible images: the same commit gives the same bytes wherever and
  # whenever it is built, so that anyone can check a shipped file against
  # its published hash. The linker writes no time stamp into the headers
  # (it would also change the header checksum and the export directory); no
  # path of the source or build folder reaches an image (assertions, debug
  # sections); the date macros are refused, as they would bake the build
  # time in. Objects and libraries link in the order the CMake files list.
  add_link_options(-Wl,--no-insert-timestamp)
  # (The later map wins, so the build folder inside the source folder maps
  # to "build".)
  foreach(flag -ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build
               -Werror=date-time)
    add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:${flag}>)
  endforeach()
endif()
add_compile_options(-Wall -Wextra)

# Slots of the archive: the stub's own image and the two programs it carries,
# in bytes, as the archive's layout states them (ORX_STUB_SLOT from kStubSize,
# and so on), so that the programs are held to the slots the code uses.
set(_layout ${CMAKE_SOURCE_DIR}/common/include/orx/archive/layout.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_layout})
foreach(slot Stub Cleanup Decryptor)
  file(STRINGS ${_layout} _line
    REGEX "^constexpr unsigned long k${slot}Size = (0x[0-9A-Fa-f]+|[0-9]+);")
  if(NOT _line MATCHES "= (0x[0-9A-Fa-f]+|[0-9]+)")
    message(FATAL_ERROR "${_layout} states no k${slot}Size")
  endif()
  string(TOUPPER ${slot} _name)
  math(EXPR ORX_${_name}_SLOT "${CMAKE_MATCH_1}")
endforeach()
unset(_layout)
unset(_line)
unset(_name)

# What the decryptor must leave of its slot in every build: room for the
# next change, so that none eats it unnoticed (orx_slot_margins).
set(ORX_DECRYPTOR_MARGIN 2048)

# orx_slot_margins(<target> <slot> <least bytes left> ...)
# A step of every build (target slot_margins) that prints what each program
# leaves of its slot and fails the build when one leaves fewer bytes than
# its least.
function(orx_slot_margins)
  set(programs)
  set(targets)
  set(rest ${ARGN})
  while(rest)
    list(POP_FRONT rest target slot least)
    list(APPEND programs "$<TARGET_FILE:${target}>|${slot}|${least}")
    list(APPEND targets ${target})
  endwhile()
  list(JOIN programs "," programs)
  add_custom_target(slot_margins ALL
    COMMAND ${CMAKE_COMMAND} -DPROGRAMS=${programs} -P ${CMAKE_SOURCE_DIR}/cmake/OrxSlotMargins.cmake
    VERBATIM)
  add_dependencies(slot_margins ${targets})
endfunction()

# The flags of all code that goes into the archive's small programs: small
# (-Oz: GCC's strictest size setting), no C++ runtime, exceptions, RTTI or
# unwind tables. No -fdata-sections: for
# PE targets GCC would then store zero-filled globals as initialised data,
# which costs their whole size in the file. Without the C runtime's start-up
# code there are no global constructors and no atexit.
# The stack protector guards every function with a local array or a local
# whose address is taken, against their own guard (orx_stack_guard).
# 32-bit code keeps the stack 4-byte aligned, all that the 32-bit Windows
# calling convention promises, instead of realigning to 16. Arrays and
# structures keep the alignment of their type: GCC would otherwise place
# every one of 32 bytes or more on a 32- or 64-byte boundary, for vector
# code and cache lines these programs do not need. No inlining of small
# functions merely because they are small: GCC's estimate of what that
# saves misjudges these programs (measured on the decryptor: 88 bytes of
# code more in 32 bits, 64 in 64 with it); what is called once is still
# inlined.
# The code generation flags, also given to the link-time optimisation:
set(ORX_SMALL_CODEGEN_FLAGS -Oz -fno-exceptions -fno-asynchronous-unwind-tables
  -fno-unwind-tables -fstack-protector-strong -fno-ident -fno-stack-check -malign-data=abi
  -fno-inline-small-functions)
if(ORX_BITS EQUAL 32)
  list(APPEND ORX_SMALL_CODEGEN_FLAGS -mpreferred-stack-boundary=2)
endif()
# Each object carries its code twice: the compiler's intermediate form, from
# which a small program's link optimises all its code as one (inlining across
# files, dropping what nothing calls), and the machine code, which every
# other program linking the same libraries (the tests) links as usual
# (orx_small_code).
set(ORX_SMALL_CODE_FLAGS
  $<$<COMPILE_LANGUAGE:CXX,C>:${ORX_SMALL_CODEGEN_FLAGS} -ffunction-sections -flto
    -ffat-lto-objects>
  $<$<COMPILE_LANGUAGE:CXX>:-fno-rtti -fno-threadsafe-statics>)

# orx_small_code(<library>): a library linked into the small programs is
# built as they are (in the Windows presets; the host keeps its own flags),
# with the stack guard for whatever links it. A program that links it and
# is no small program links its machine code, without the link-time
# optimisation.
function(orx_small_code target)
  if(ORX_WINDOWS)
    target_compile_options(${target} PRIVATE ${ORX_SMALL_CODE_FLAGS})
    target_link_options(${target} INTERFACE
      $<$<NOT:$<BOOL:$<TARGET_PROPERTY:ORX_SMALL_PROGRAM>>>:-fno-lto>)
    target_link_libraries(${target} PUBLIC orx_stack_guard)
  endif()
endfunction()

# orx_small_program(<target> ENTRY <function> SUBSYSTEM windows|console
#                   SLOT <bytes> TEST <name> SOURCES ... [LIBS ...] [CHECKS ...]
#                   [GUARDED])
# A Windows program without the C runtime's start-up code, to fit a slot of
# the archive: its own entry point (an extern "C" __stdcall function without
# arguments), the small-code flags, only the system DLLs in LIBS, a map file
# (<target>.map beside its objects) to see what takes the bytes (the
# optimised code is one block there; with ORX_SMALL_MAP_BY_FUNCTION each
# function is listed apart, for measuring only), the layout
# of cmake/small_program.ld (the import tables in the read-only data), and the
# static check <name> of its image in both MinGW presets: its kind, the slot
# size, imports (found through the import directory) only of DLLs Windows
# always takes from its system folder, no
# TLS callbacks, and the pecheck arguments in CHECKS. Every such program
# embeds the asInvoker manifest, carries the stack protector (its entry
# point declared with ORX_PROGRAM_ENTRY and calling orx::InitStackGuard
# first) and, in the 32-bit build, is marked as having no structured
# exception handlers (it has none: no C++ exceptions, no SEH frames).
# GUARDED: the program has functions the protector guards (local buffers),
# which the check confirms in its map; a program without any has nothing
# to guard.
option(ORX_SMALL_MAP_BY_FUNCTION
  "Link the small programs with one section per function, so that their maps list each function (for measuring: adds alignment bytes)" OFF)
function(orx_small_program target)
  cmake_parse_arguments(P "GUARDED" "ENTRY;SUBSYSTEM;SLOT;TEST" "SOURCES;LIBS;CHECKS" ${ARGN})
  foreach(required ENTRY SUBSYSTEM SLOT TEST SOURCES)
    if(NOT P_${required})
      message(FATAL_ERROR "orx_small_program(${target}): ${required} is required")
    endif()
  endforeach()
  set_source_files_properties(${ORX_PROGRAM_MANIFEST_RC} PROPERTIES
    OBJECT_DEPENDS ${ORX_PROGRAM_MANIFEST})
  add_executable(${target} ${P_SOURCES} ${ORX_PROGRAM_MANIFEST_RC})
  set(no_seh)
  if(ORX_BITS EQUAL 32)
    set(entry "_${P_ENTRY}@0")
    set(no_seh -Wl,--no-seh)
  else()
    set(entry "${P_ENTRY}")
  endif()
  set(map ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
  target_compile_options(${target} PRIVATE ${ORX_SMALL_CODE_FLAGS})
  set(layout ${CMAKE_SOURCE_DIR}/cmake/small_program.ld)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${layout})
  # The link optimises the program's code as one unit, with the flags it was
  # compiled with. The routines that only the generated code calls (the
  # stack protector's, the stack probe of a large frame, memcmp) are named
  # up front: Debian 12's GNU linker crashes when it has to take a library
  # member for a symbol that first appears in the optimised code.
  if(ORX_BITS EQUAL 32)
    set(late ___chkstk_ms ___stack_chk_fail ___stack_chk_guard)
    set(memcmp _memcmp)
  else()
    set(late ___chkstk_ms __stack_chk_fail __stack_chk_guard)
    set(memcmp memcmp)
  endif()
  if(msvcrt IN_LIST P_LIBS)
    list(APPEND late ${memcmp})
  endif()
  list(TRANSFORM late PREPEND -Wl,-u,)
  set_property(TARGET ${target} PROPERTY ORX_SMALL_PROGRAM ON)
  set(by_function)
  if(ORX_SMALL_MAP_BY_FUNCTION)
    set(by_function -ffunction-sections)
  endif()
  target_link_options(${target} PRIVATE -flto ${ORX_SMALL_CODEGEN_FLAGS} ${by_function} ${late}
    -nostdlib -s -Wl,-T,${layout} -Wl,--gc-sections
    -Wl,--entry=${entry} -Wl,--subsystem,${P_SUBSYSTEM} -Wl,-Map,${map} ${no_seh})
  target_link_libraries(${target} PRIVATE ${P_LIBS} orx_stack_guard gcc)
  if(P_SUBSYSTEM STREQUAL "windows")
    set(kind gui)
  else()
    set(kind console)
  endif()
  set(guarded)
  if(P_GUARDED)
    set(guarded --map-symbol ${map}:__stack_chk_fail)
  endif()
  orx_pe_test(NAME ${P_TEST} FILE ${target} ARGS --subsystem ${kind} --max-size ${P_SLOT}
    --system-dlls-only --imports-required kernel32.dll --no-tls --manifest-level asInvoker
    --no-seh ${guarded} ${P_CHECKS})
endfunction()

# orx_dll_code(<library>): a static library linked into the product's DLLs
# carries their stack protector (in the Windows presets), with the guard and
# failure routine of orx_stack_guard for whatever links it.
function(orx_dll_code target)
  if(ORX_WINDOWS)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX,C>:-fstack-protector-strong>)
    target_link_libraries(${target} PUBLIC orx_stack_guard)
  endif()
endfunction()

# orx_dll(<target> [SAFE_SEH_TABLE])
# A DLL of the product, which a program of the product loads into its own
# process, hardened like the archive's programs:
# - the compiler's runtime linked in, so that it imports system DLLs only;
#   stripped;
# - the stack protector, against a guard made unpredictable as the DLL
#   loads, whose failure ends the process at once (orx_dll_stack_guard;
#   GCC's support library would raise an exception instead, which a
#   handler further up the stack could take);
# - a linker map, <target>.map beside its objects, that shows the guard to
#   the static checks;
# - in the 32-bit build no structured exception handlers (NO_SEH), so that
#   none planted on the stack by an overrun is ever called. A DLL with
#   handlers of its own (SAFE_SEH_TABLE) lists them instead in a table of
#   safe handlers, the structure _load_config_used in its sources, at which
#   cmake/pe_load_config.py points the image's load configuration (Debian
#   12's GNU linker does not). C++ exceptions need neither: the 32-bit
#   compiler's are DWARF-2 tables and unwinding, not SEH.
# Address-space randomisation, no-execute data and, in 64 bits,
# high-entropy addresses come with every image (above). No manifest: the
# execution level and supported systems are the program's, and Windows
# reads a DLL's own only to activate an isolation-aware library.
function(orx_dll target)
  cmake_parse_arguments(D "SAFE_SEH_TABLE" "" "" ${ARGN})
  set(map ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX,C>:-fstack-protector-strong>)
  target_link_libraries(${target} PRIVATE orx_dll_stack_guard)
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++ -s
    -Wl,-Map,${map})
  if(ORX_BITS EQUAL 32)
    if(D_SAFE_SEH_TABLE)
      add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/cmake/pe_load_config.py
                $<TARGET_FILE:${target}> --map ${map}
        VERBATIM)
    else()
      target_link_options(${target} PRIVATE -Wl,--no-seh)
    endif()
  endif()
endfunction()
