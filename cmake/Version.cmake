# SPDX-License-Identifier: Apache-2.0
# The project's version text, from the one version in project() (CMakeLists.txt): exactly that
# for the release itself (a git tree whose HEAD is tagged v<version>), else with the commit it was
# built from, "1.0.0+g1a2b3c4". A source tarball made by git archive carries its commit in
# cmake/git_commit.txt (export-subst), so a build from it names the commit too.
set(VEXLOR_VERSION_TEXT ${PROJECT_VERSION})
set(_commit "")
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
  execute_process(COMMAND ${GIT_EXECUTABLE} describe --tags --exact-match HEAD
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE _tag ERROR_QUIET
                  OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE _tag_result)
  if(NOT (_tag_result EQUAL 0 AND _tag STREQUAL "v${PROJECT_VERSION}"))
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --short=7 HEAD
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE _commit ERROR_QUIET
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
  endif()
  # Configure again when HEAD moves, so the text never names an older commit.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/.git/HEAD)
  if(EXISTS ${PROJECT_SOURCE_DIR}/.git/logs/HEAD)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/.git/logs/HEAD)
  endif()
else()
  file(READ ${PROJECT_SOURCE_DIR}/cmake/git_commit.txt _archived)
  string(STRIP "${_archived}" _archived)
  # Outside git archive the file holds its placeholder: no commit is known.
  if(_archived MATCHES "^[0-9a-f]+$" AND NOT _archived STREQUAL "")
    string(SUBSTRING "${_archived}" 0 7 _commit)
  endif()
endif()
if(_commit)
  set(VEXLOR_VERSION_TEXT "${PROJECT_VERSION}+g${_commit}")
endif()
# When the commit was made (seconds since 1970), for the date of a build's changelog entry.
set(VEXLOR_COMMIT_TIME "")
if(_commit AND GIT_FOUND AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
  execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE VEXLOR_COMMIT_TIME ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
message(STATUS "Vexlor version ${VEXLOR_VERSION_TEXT}")
