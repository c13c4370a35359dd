# The install layout: the program folder under <prefix>/lib/tarvik (programs, service library, Skins,
# Help, Package), links to the programs in <prefix>/bin, and the desktop integration in <prefix>/share.
# Included at the end of the top-level CMakeLists.txt, once every target exists.
include(GNUInstallDirs)

# Not CMAKE_INSTALL_LIBDIR: on Debian that is lib/<triplet>, and the program folder is one fixed place.
set(TARVIK_PROGRAM_DIR lib/tarvik)
set(TARVIK_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(TARVIK_MAINTAINER "The Tarvik developers <tarvik@example.org>")
# Honours SOURCE_DATE_EPOCH, so a package built twice from one commit is the same.
string(TIMESTAMP TARVIK_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP TARVIK_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)

# Directories 0755 whatever the umask of the one who installs.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                WORLD_READ WORLD_EXECUTE)

# Programs other branches of work may not have added yet are installed once they exist.
set(tarvik_programs)
foreach(program tarvik tarvikctl portmux-sim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${TARVIK_PROGRAM_DIR})
    list(APPEND tarvik_programs ${program})
  endif()
endforeach()
if(TARGET portmux)
  install(TARGETS portmux LIBRARY DESTINATION ${TARVIK_PROGRAM_DIR} NAMELINK_SKIP)
endif()

# The run-time folders as the build lays them out in the program folder (generated skin included).
# (.keep only holds an empty folder in the source tree.)
install(DIRECTORY ${TARVIK_BIN_DIR}/Skins ${TARVIK_BIN_DIR}/Help ${TARVIK_BIN_DIR}/Package
        DESTINATION ${TARVIK_PROGRAM_DIR} PATTERN .keep EXCLUDE)

# Automatic profiles on desktops that tell the focus only to their own plugins: the KWin script the
# program loads from its folder, and the GNOME Shell extension the user enables once (one for GNOME 45 and
# later, one for GNOME 42 to 44, whose shells load extensions as scripts).
if(TARGET tarvik)
  install(FILES ${PROJECT_SOURCE_DIR}/appprofiles/kwin/tarvik-focus.js DESTINATION ${TARVIK_PROGRAM_DIR}/focus)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/appprofiles/gnome/tarvik-focus@tarvik.github.io
                    ${PROJECT_SOURCE_DIR}/appprofiles/gnome/tarvik-focus-legacy@tarvik.github.io
          DESTINATION ${CMAKE_INSTALL_DATADIR}/gnome-shell/extensions)
endif()

# <prefix>/bin/NAME -> ../lib/tarvik/NAME; the programs find their folder through /proc/self/exe.
foreach(program ${tarvik_programs})
  install(CODE "
    set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${bin}\")
    file(CREATE_LINK \"../${TARVIK_PROGRAM_DIR}/${program}\" \"\${bin}/${program}\" SYMBOLIC)
    message(STATUS \"Installing: \${bin}/${program} -> ../${TARVIK_PROGRAM_DIR}/${program}\")")
endforeach()

# Desktop entry, metainfo, its screenshot and the program's manual page: only with the program they
# describe, so no menu entry ever starts nothing.
set(tarvik_man_pages tarvikctl)
if(TARGET portmux-sim)
  list(APPEND tarvik_man_pages portmux-sim)
endif()
# The metainfo is made in any case so the package check can validate it.
# Every name the desktop knows the program by is its application id.
set(TARVIK_APP_ID io.github.tarvik.Tarvik)
configure_file(${TARVIK_PACKAGING_DIR}/${TARVIK_APP_ID}.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/packaging/${TARVIK_APP_ID}.metainfo.xml @ONLY)
if(TARGET tarvik)
  list(APPEND tarvik_man_pages tarvik)
  install(FILES ${TARVIK_PACKAGING_DIR}/${TARVIK_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/${TARVIK_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  # The running program's session-bus interface, for clients and introspection tools.
  install(FILES ${PROJECT_SOURCE_DIR}/service/io.github.tarvik.Tarvik1.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/dbus-1/interfaces)
  # The main window as the whole-program tests photograph it, there once the e2e tests have run; else the
  # committed picture (taken by them too), so the screenshot the metainfo names is always installed.
  set(shot ${CMAKE_BINARY_DIR}/e2e/main-window.png)
  set(committed_shot ${PROJECT_SOURCE_DIR}/docs/images/main-window.png)
  install(CODE "
    set(shot \"${committed_shot}\")
    if(EXISTS \"${shot}\")
      set(shot \"${shot}\")
    endif()
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/tarvik/screenshots\"
         TYPE FILE FILES \"\${shot}\")")
endif()
if(TARVIK_ICON_DIR)
  install(DIRECTORY ${TARVIK_ICON_DIR}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
endif()

install(FILES ${TARVIK_PACKAGING_DIR}/70-tarvik.rules DESTINATION lib/udev/rules.d)

# Manual pages and the package's changelog, compressed as Debian wants them (gzip -9n: no name, no time).
find_program(TARVIK_GZIP gzip REQUIRED)
set(compressed)
foreach(page ${tarvik_man_pages})
  set(out ${CMAKE_BINARY_DIR}/packaging/man/${page}.1.gz)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/man
    COMMAND ${TARVIK_GZIP} -9n -c ${TARVIK_PACKAGING_DIR}/man/${page}.1 > ${out}
    DEPENDS ${TARVIK_PACKAGING_DIR}/man/${page}.1
    VERBATIM)
  list(APPEND compressed ${out})
  install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
configure_file(${TARVIK_PACKAGING_DIR}/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND ${TARVIK_GZIP} -9n -c ${CMAKE_BINARY_DIR}/packaging/changelog > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog
  VERBATIM)
list(APPEND compressed ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_target(packaging_files ALL DEPENDS ${compressed})
# The package's name, not the project's (CMAKE_INSTALL_DOCDIR would say share/doc/Tarvik).
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz ${TARVIK_PACKAGING_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarvik)
