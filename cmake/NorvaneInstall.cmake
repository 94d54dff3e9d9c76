# The installed tree (cmake --install, and the Debian package made from it):
#
#   lib/norvane/             the program folder: norvane, norvane-cli,
#                            norvane-refservice, libnorvane-reports.so (the
#                            report module), oem.ini, local.dat, language/,
#                            content/, refservice/ (the built-in service's data)
#   bin/norvane, bin/norvane-cli
#                            relative links into the program folder; the
#                            programs find their folder through /proc/self/exe,
#                            which names the link's target
#   share/applications, share/icons/hicolor, share/metainfo, share/man/man1,
#   share/doc/norvane        desktop integration and documentation
#
# The program folder is a folder of programs and their data, not a library
# folder, so it stays lib/norvane (no multiarch triplet) whatever the prefix.
include(GNUInstallDirs)

set(NORVANE_INSTALL_PROGRAM_DIR lib/norvane)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The shipped oem.ini: every host is the built-in service. The build tree gets
# the same file, so build/bin runs like the installed program.
configure_file(${CMAKE_SOURCE_DIR}/resources/oem.ini ${NORVANE_BIN_DIR}/oem.ini COPYONLY)

set(norvane_programs norvane-cli norvane-refservice)
if(NORVANE_BUILD_GUI)
  list(PREPEND norvane_programs norvane)
  list(APPEND norvane_programs norvane-cli-report)  # norvane-cli's report command
endif()
install(TARGETS ${norvane_programs} RUNTIME DESTINATION ${NORVANE_INSTALL_PROGRAM_DIR})
if(NORVANE_BUILD_GUI)
  # The report module beside the program, which loads it from its own folder.
  install(TARGETS norvane_report_module LIBRARY DESTINATION ${NORVANE_INSTALL_PROGRAM_DIR})
endif()
install(FILES ${NORVANE_BIN_DIR}/oem.ini ${NORVANE_BIN_DIR}/local.dat
  DESTINATION ${NORVANE_INSTALL_PROGRAM_DIR})
install(DIRECTORY ${NORVANE_BIN_DIR}/language ${NORVANE_BIN_DIR}/refservice
  DESTINATION ${NORVANE_INSTALL_PROGRAM_DIR})
# The report templates (copied into the build's content/ by their own build step).
install(DIRECTORY ${NORVANE_BIN_DIR}/content DESTINATION ${NORVANE_INSTALL_PROGRAM_DIR})

# bin/ links, relative so that the tree can be moved (DESTDIR, packaging).
set(norvane_linked norvane-cli)
if(NORVANE_BUILD_GUI)
  list(PREPEND norvane_linked norvane)
endif()
foreach(program IN LISTS norvane_linked)
  install(CODE "
    set(bin_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${bin_dir}\")
    file(REMOVE \"\${bin_dir}/${program}\")
    file(CREATE_LINK \"../${NORVANE_INSTALL_PROGRAM_DIR}/${program}\" \"\${bin_dir}/${program}\" SYMBOLIC)
    message(STATUS \"Installing: \${bin_dir}/${program} -> ../${NORVANE_INSTALL_PROGRAM_DIR}/${program}\")
  ")
endforeach()

# Desktop integration.
set(desktop_dir ${CMAKE_SOURCE_DIR}/resources/desktop)
if(NORVANE_BUILD_GUI)
  install(FILES ${desktop_dir}/norvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${desktop_dir}/com.norvane.Norvane.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${desktop_dir}/icons/norvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${desktop_dir}/icons/${size}x${size}/norvane.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
endif()

# Manual pages and the package documents, compressed as Debian wants them.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(norvane_docs_dir ${CMAKE_BINARY_DIR}/docs)
set(norvane_man_pages norvane-cli)
if(NORVANE_BUILD_GUI)
  list(APPEND norvane_man_pages norvane)
endif()
set(norvane_doc_outputs)
foreach(page IN LISTS norvane_man_pages)
  add_custom_command(
    OUTPUT ${norvane_docs_dir}/${page}.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${norvane_docs_dir}
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${CMAKE_SOURCE_DIR}/resources/man/${page}.1 > ${norvane_docs_dir}/${page}.1.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/resources/man/${page}.1
    COMMENT "Compressing the manual page of ${page}")
  list(APPEND norvane_doc_outputs ${norvane_docs_dir}/${page}.1.gz)
  install(FILES ${norvane_docs_dir}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_command(
  OUTPUT ${norvane_docs_dir}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${norvane_docs_dir}
  COMMAND ${GZIP_PROGRAM} -9 -n -c ${CMAKE_SOURCE_DIR}/resources/package/changelog > ${norvane_docs_dir}/changelog.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/package/changelog
  COMMENT "Compressing the package change log")
list(APPEND norvane_doc_outputs ${norvane_docs_dir}/changelog.gz)
add_custom_target(norvane_docs ALL DEPENDS ${norvane_doc_outputs})
install(FILES ${CMAKE_SOURCE_DIR}/resources/package/copyright ${norvane_docs_dir}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/norvane)

include(NorvanePackage)
