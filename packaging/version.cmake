# Writes the version header of the programs: the project version, and when the
# sources are a git checkout the commit they were built from ("1.0 (6b038dc)").
# Run at every build (cmake -P) so a new commit shows without reconfiguring; the
# header is only rewritten when its text changes, so nothing rebuilds otherwise.
#
# In: DPU_VERSION, SOURCE_DIR, OUTPUT.
set(text "${DPU_VERSION}")
find_program(GIT_PROGRAM git)
if(GIT_PROGRAM AND EXISTS "${SOURCE_DIR}/.git")
  execute_process(
    COMMAND "${GIT_PROGRAM}" -C "${SOURCE_DIR}" describe --always --dirty --tags
    OUTPUT_VARIABLE describe
    OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_QUIET
    RESULT_VARIABLE rc)
  if(rc EQUAL 0 AND NOT describe STREQUAL "")
    set(text "${DPU_VERSION} (${describe})")
  endif()
endif()

set(content "#pragma once

// Generated at build time by packaging/version.cmake; do not edit.
// The version the programs print: project version and, from a checkout, git describe.
#define DPU510TK3_VERSION \"${text}\"
")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
else()
  set(old "")
endif()
if(NOT old STREQUAL content)
  file(WRITE "${OUTPUT}" "${content}")
endif()
