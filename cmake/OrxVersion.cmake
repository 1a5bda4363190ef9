# orx's version: the latest entry of its Debian changelog, so that the
# package, `orx --version` and the manual page never disagree.
file(STRINGS ${CMAKE_SOURCE_DIR}/tools/orx/install/changelog ORX_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT ORX_CHANGELOG_TOP MATCHES "^orx \\(([^)]+)\\) ")
  message(FATAL_ERROR "tools/orx/install/changelog does not start with an orx entry")
endif()
set(ORX_VERSION ${CMAKE_MATCH_1})
