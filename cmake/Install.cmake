# SPDX-License-Identifier: Apache-2.0
# Install layout: the program and its language libraries together in one folder (it loads them
# from its own folder, found through /proc/self/exe, so the symlinks on the PATH still work),
# desktop integration in the XDG places, man pages, bash completion, the udev rules and an example
# settings file.
set(CMAKE_INSTALL_DOCDIR "share/doc/vexlor")
include(GNUInstallDirs)
# Folders the installation makes are 0755, not what the umask leaves of 0777: the package must not
# differ with the umask of whoever built it. (A umask that takes the owner's or the world's read
# bits still does; scripts/package.sh packs under 022.)
set(_directory_permissions OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${_directory_permissions})

set(VEXLOR_INSTALL_LIBDIR "${CMAKE_INSTALL_LIBDIR}/vexlor")
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  # Debian's layout: a private program folder under libexec. (Under /usr/lib the language modules
  # would be taken for system libraries and the package would call ldconfig for them.)
  set(VEXLOR_INSTALL_LIBDIR "libexec/vexlor")
endif()

set(_programs vexlor vexlor-pack vexlor-handset-sim)
foreach(program IN LISTS _programs)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${VEXLOR_INSTALL_LIBDIR})
    # Relative symlink in bin/, made at install time (works under DESTDIR and in the package).
    install(CODE "
      set(_bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
      if(NOT EXISTS \"\${_bin}\")
        file(MAKE_DIRECTORY \"\${_bin}\")
        file(CHMOD \"\${_bin}\" PERMISSIONS ${_directory_permissions})
      endif()
      file(CREATE_LINK \"../${VEXLOR_INSTALL_LIBDIR}/${program}\" \"\${_bin}/${program}\" SYMBOLIC)
    ")
  endif()
endforeach()
foreach(lang IN ITEMS eng cht chs)
  if(TARGET vexlor_lang_${lang})
    install(TARGETS vexlor_lang_${lang} LIBRARY DESTINATION ${VEXLOR_INSTALL_LIBDIR})
  endif()
endforeach()

set(_packaging ${PROJECT_SOURCE_DIR}/packaging)
# The desktop entry and the software centre's entry share the component's reverse-DNS id.
install(FILES ${_packaging}/org.vexlor.Vexlor.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The bench window's entry: many ports at once (vexlor --bench).
install(FILES ${_packaging}/org.vexlor.VexlorBench.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(_metainfo ${CMAKE_BINARY_DIR}/packaging/org.vexlor.Vexlor.metainfo.xml)
set(_changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${_metainfo}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND ${Python3_EXECUTABLE} ${_packaging}/release_notes.py metainfo ${PROJECT_SOURCE_DIR}/CHANGELOG.md
          ${_packaging}/org.vexlor.Vexlor.metainfo.xml.in ${_metainfo}
  DEPENDS ${_packaging}/release_notes.py ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${_packaging}/org.vexlor.Vexlor.metainfo.xml.in
  VERBATIM)
# The Debian changelog of this very version, compressed as Debian expects.
add_custom_command(OUTPUT ${_changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND ${Python3_EXECUTABLE} ${_packaging}/release_notes.py debian ${PROJECT_SOURCE_DIR}/CHANGELOG.md
          ${VEXLOR_VERSION_TEXT} ${CMAKE_BINARY_DIR}/packaging/changelog ${VEXLOR_SOURCE_DATE_EPOCH}
  COMMAND gzip -9 -n -f ${CMAKE_BINARY_DIR}/packaging/changelog
  DEPENDS ${_packaging}/release_notes.py ${PROJECT_SOURCE_DIR}/CHANGELOG.md
  VERBATIM)
add_custom_target(vexlor_release_notes ALL DEPENDS ${_metainfo} ${_changelog})
install(FILES ${_metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_changelog} ${_packaging}/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/src/app/window/icons/vexlor-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME vexlor.png)
endforeach()

# Man pages, compressed as Debian expects.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(_man_pages vexlor vexlor-pack vexlor-handset-sim)
set(_man_outputs)
foreach(page IN LISTS _man_pages)
  set(_out ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${_packaging}/man/${page}.1 > ${_out}
    DEPENDS ${_packaging}/man/${page}.1 VERBATIM)
  list(APPEND _man_outputs ${_out})
endforeach()
add_custom_target(vexlor_man_pages ALL DEPENDS ${_man_outputs})
install(FILES ${_man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${_packaging}/60-vexlor-serial.rules DESTINATION lib/udev/rules.d)
# bash-completion loads a command's completion by the command's name: one file serves both.
foreach(command vexlor vexlor-pack)
  install(FILES ${_packaging}/bash-completion/vexlor DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME ${command})
endforeach()
install(FILES ${_packaging}/registry.reg.example DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
        RENAME registry.reg)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Debian package: scripts/package.sh makes build/vexlor_<version>_amd64.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexlor)
set(CPACK_PACKAGE_VENDOR "Vexlor")
set(CPACK_PACKAGE_CONTACT "Vexlor developers <dev@vexlor.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Firmware upgrade tool for CDMA handsets on a serial port")
# The long description (CPack puts the summary above it as the synopsis).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vexlor writes a firmware load to a CDMA handset connected through a serial
port. It finds the handset in AT data mode, diagnostic mode or download
mode, brings it to download mode, checks versions, streams the load in
framed packets and has the handset commit it to its NAND flash.
.
The load travels enciphered inside the tool's own program file (packed with
vexlor-pack) and is verified at every start. A Qt window and a command line
that flashes one handset or a whole bench of them at once, with JSON output
and a CSV record per run. The handset simulator vexlor-handset-sim serves
tests, demonstrations and training.")
set(CPACK_PACKAGE_VERSION ${VEXLOR_VERSION_TEXT})
set(CPACK_DEBIAN_PACKAGE_VERSION ${VEXLOR_VERSION_TEXT})
# The language libraries are private modules in the program's folder, loaded by path: no shared
# library of the system, so no ldconfig call and no shlibs file.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs a Qt platform plugin (xcb, wayland), which the Qt libraries only recommend.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/cpack)
set(CPACK_STRIP_FILES ON)  # the installed program carries no load, so nothing of its image is checked
# CPack dates every member of the package SOURCE_DATE_EPOCH where that is set when it runs; the
# commit's time is set here for a cpack run without it, so every package of a commit is the same.
if(VEXLOR_SOURCE_DATE_EPOCH)
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackSourceDate.cmake)
  file(WRITE ${CPACK_PROJECT_CONFIG_FILE}
       "if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})\n  set(ENV{SOURCE_DATE_EPOCH} ${VEXLOR_SOURCE_DATE_EPOCH})\nendif()\n")
endif()
include(CPack)
