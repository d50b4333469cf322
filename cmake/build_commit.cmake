# Writes OUTPUT: a header with the short commit of the source tree (SOURCE_DIR), "unknown" outside a git
# work tree or without git. Run at every build; the header is rewritten only when the commit changed, so
# nothing is rebuilt for nothing.
set(commit "unknown")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND "${GIT_EXECUTABLE}" rev-parse --short HEAD
                  WORKING_DIRECTORY "${SOURCE_DIR}"
                  OUTPUT_VARIABLE out RESULT_VARIABLE rc ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(rc EQUAL 0 AND out MATCHES "^[0-9a-f]+$")
    set(commit "${out}")
  endif()
endif()
set(text "// Generated at build time: the commit the programs were built from.\n#pragma once\n\n#include <string_view>\n\nnamespace zepa {\ninline constexpr std::string_view kBuildCommit = \"${commit}\";\n}  // namespace zepa\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
else()
  set(old "")
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
