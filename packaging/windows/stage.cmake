# SPDX-License-Identifier: Apache-2.0
# The Windows stage's steps, run by the build (cmake -P): the zip and the installer store each
# file's mode and time, and the zip its order, so neither may come from the umask, the checkout or
# the hour of the build.
#   -DACTION=settle -DSTAGE=<folder> [-DEPOCH=<seconds>]   programs and DLLs 0755, the rest 0644, all
#                                                          dated EPOCH (the commit's time) if given
#   -DACTION=zip -DSTAGE_ROOT=<folder> -DZIP=<zip> -DARCHIVE=<file>
#                                                          the folders under STAGE_ROOT, members in
#                                                          name order, no extra fields, times in UTC
#   -DACTION=strip -DPROGRAMS=<files> -DOUT=<folder> -DDEBUG=<folder> -DOBJCOPY=<objcopy> -DSTRIP=<strip>
#                                                          each program stripped into OUT, its symbols
#                                                          and debug information in DEBUG/<name>.debug,
#                                                          which the stripped program names (debug link)
cmake_minimum_required(VERSION 3.25)
if(ACTION STREQUAL "strip")
  # binutils stamps a PE header it rewrites with SOURCE_DATE_EPOCH, else with the hour: 0 keeps the
  # linker's (none, --no-insert-timestamp).
  set(ENV{SOURCE_DATE_EPOCH} 0)
  file(MAKE_DIRECTORY "${OUT}" "${DEBUG}")
  foreach(_program IN LISTS PROGRAMS)
    get_filename_component(_name "${_program}" NAME)
    set(_debug "${DEBUG}/${_name}.debug")
    set(_stripped "${OUT}/${_name}")
    # The debug link holds the debug file's name and CRC, so it is made beside the program, by name.
    execute_process(COMMAND "${OBJCOPY}" --only-keep-debug "${_program}" "${_debug}"
                    COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND "${STRIP}" --strip-all -o "${_stripped}" "${_program}" COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND "${OBJCOPY}" "--add-gnu-debuglink=${_name}.debug" "${_stripped}"
                    WORKING_DIRECTORY "${DEBUG}" COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
elseif(ACTION STREQUAL "settle")
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
