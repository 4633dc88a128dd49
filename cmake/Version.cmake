# SPDX-License-Identifier: Apache-2.0
# The project's version text, from the one version in project() (CMakeLists.txt): exactly that
# for the release itself (a git tree whose HEAD is tagged v<version>), else with the commit it was
# built from, "1.0.0+g1a2b3c4". A source tarball made by git archive carries its commit and the
# commit's time in cmake/git_commit.txt (export-subst), so a build from it names the commit too.
set(VEXLOR_VERSION_TEXT ${PROJECT_VERSION})
set(_commit "")
set(_commit_time "")
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
  execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE _commit_time ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  # Configure again when HEAD moves, so the text never names an older commit.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/.git/HEAD)
  if(EXISTS ${PROJECT_SOURCE_DIR}/.git/logs/HEAD)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/.git/logs/HEAD)
  endif()
else()
  file(READ ${PROJECT_SOURCE_DIR}/cmake/git_commit.txt _archived)
  string(STRIP "${_archived}" _archived)
  # Outside git archive the file holds its placeholder: no commit is known.
  if(_archived MATCHES "^([0-9a-f]+) ([0-9]+)$")
    string(SUBSTRING "${CMAKE_MATCH_1}" 0 7 _commit)
    set(_commit_time ${CMAKE_MATCH_2})
  endif()
endif()
if(_commit)
  set(VEXLOR_VERSION_TEXT "${PROJECT_VERSION}+g${_commit}")
endif()
# The time (seconds since 1970) the release files carry, so that every build of one commit makes
# the same bytes: SOURCE_DATE_EPOCH where the caller sets one (the scripts set the commit's time),
# else when the commit was made; empty where no commit is known. It also dates the changelog entry
# of a build between releases.
set(VEXLOR_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
if(NOT VEXLOR_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  set(VEXLOR_SOURCE_DATE_EPOCH "${_commit_time}")
endif()
message(STATUS "Vexlor version ${VEXLOR_VERSION_TEXT}")
