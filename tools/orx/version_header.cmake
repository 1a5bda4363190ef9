# Run at every build of orx (cmake -DSOURCE=<source dir> -DVERSION=<version>
# -DCOMMIT=<commit or empty> -DOUT=<header> -P this): writes the version
# and the commit orx is built from into OUT, and touches it only when they
# changed, so that an unchanged tree relinks nothing. The commit is git's
# (with "-modified" for changes not committed); a source tree without git
# takes COMMIT (the cache variable ORX_COMMIT), or says "unknown".
set(commit "${COMMIT}")
if(commit STREQUAL "")
  execute_process(COMMAND git -C "${SOURCE}" rev-parse --short=12 HEAD
    OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed
    ERROR_QUIET)
  if(failed OR commit STREQUAL "")
    set(commit "unknown")
  else()
    execute_process(COMMAND git -C "${SOURCE}" diff-index --quiet HEAD --
      RESULT_VARIABLE modified ERROR_QUIET)
    if(modified)
      string(APPEND commit "-modified")
    endif()
  endif()
endif()
set(text "// Written by version_header.cmake at build time.\n#pragma once\n\nnamespace orx {\nconstexpr char kOrxVersion[] = \"${VERSION}\";\nconstexpr char kOrxCommit[] = \"${commit}\";\n}  // namespace orx\n")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUT}" "${text}")
endif()
