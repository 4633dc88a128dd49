# SPDX-License-Identifier: Apache-2.0
# The Windows stage's two steps, run by the build (cmake -P): the zip and the installer store each
# file's mode and time, and the zip its order, so neither may come from the umask, the checkout or
# the hour of the build.
#   -DACTION=settle -DSTAGE=<folder> [-DEPOCH=<seconds>]   programs and DLLs 0755, the rest 0644, all
#                                                          dated EPOCH (the commit's time) if given
#   -DACTION=zip -DSTAGE_ROOT=<folder> -DZIP=<zip> -DARCHIVE=<file>
#                                                          the folders under STAGE_ROOT, members in
#                                                          name order, no extra fields, times in UTC
cmake_minimum_required(VERSION 3.25)
if(ACTION STREQUAL "settle")
  file(GLOB_RECURSE _files LIST_DIRECTORIES false "${STAGE}/*")
  foreach(_file IN LISTS _files)
    if(_file MATCHES "\\.(exe|dll)$")
      file(CHMOD "${_file}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                         WORLD_READ WORLD_EXECUTE)
    else()
      file(CHMOD "${_file}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    endif()
  endforeach()
  if(EPOCH)
    execute_process(COMMAND touch -d "@${EPOCH}" ${_files} "${STAGE}" RESULT_VARIABLE _result)
    if(NOT _result EQUAL 0)
      message(FATAL_ERROR "cannot date the staged files ${EPOCH}: ${_result}")
    endif()
  endif()
elseif(ACTION STREQUAL "zip")
  file(GLOB_RECURSE _members LIST_DIRECTORIES false RELATIVE "${STAGE_ROOT}" "${STAGE_ROOT}/*")
  list(SORT _members)
  file(REMOVE "${ARCHIVE}")  # zip adds to an existing archive
  # A zip stores local times: UTC, so the archive is the same in every time zone.
  set(ENV{TZ} UTC)
  execute_process(COMMAND "${ZIP}" -q -X -D "${ARCHIVE}" ${_members}
                  WORKING_DIRECTORY "${STAGE_ROOT}" RESULT_VARIABLE _result)
  if(NOT _result EQUAL 0)
    message(FATAL_ERROR "zip failed (${_result}) on ${ARCHIVE}")
  endif()
else()
  message(FATAL_ERROR "stage.cmake: ACTION is settle or zip, not \"${ACTION}\"")
endif()
