# Release packages, made by CPack from the install rules below (scripts/package.sh runs it):
#   the Windows tree: Tarnwell-<version>-win64.zip, a portable folder "Tarnwell" (the program keeps
#     its settings beside itself, so it belongs in a folder of the user's, not under Program Files);
#   the native tree: tarnwell-cli_<version>_<arch>.deb, the command line and the board simulator
#     (tarnwell-boardsim), each with its manual page and bash completion, and the page that rehearses
#     a station with them.
# The folder's name holds no '.', since the settings file is named from the program's path.

set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tarnwell developers")
set(CPACK_PACKAGE_CONTACT "The Tarnwell developers <tarnwell@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find networked boards and upgrade their firmware")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(TARNWELL_PACKAGE_FILES ${CMAKE_BINARY_DIR}/package-files)
# Made here, not by the rules that write into it: Ninja makes an output's folder itself, Make does not.
file(MAKE_DIRECTORY ${TARNWELL_PACKAGE_FILES})

if(WIN32)
  set(folder Tarnwell)
  install(TARGETS Tarnwell tarnwell-cli RUNTIME DESTINATION ${folder})
  # Text files a user opens in Notepad get Windows line ends.
  foreach(text packaging/windows/README.txt.in LICENSE packaging/windows/station-example.cmd)
    get_filename_component(name ${text} NAME)
    string(REGEX REPLACE "\\.in$" "" name ${name})
    configure_file(${text} ${TARNWELL_PACKAGE_FILES}/${name} @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${TARNWELL_PACKAGE_FILES}/${name} DESTINATION ${folder})
  endforeach()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME Tarnwell-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  set(package tarnwell-cli)
  set(doc share/doc/${package})
  # tarnwell-boardsim, the board simulator, lets a station's scripts be rehearsed without boards
  # (docs/station-rehearsal.md, shipped beside the copyright).
  install(TARGETS tarnwell-cli tarnwell-boardsim RUNTIME DESTINATION bin)

  # The manual pages are made from the built programs' --help and --version, so the two cannot
  # drift apart; an include file adds only what --help does not say.
  find_program(HELP2MAN help2man)
  find_program(GZIP gzip)
  if(NOT HELP2MAN OR NOT GZIP)
    message(FATAL_ERROR "help2man and gzip make the manual pages; scripts/setup.sh installs them")
  endif()
  set(tarnwell-cli_summary ${CPACK_PACKAGE_DESCRIPTION_SUMMARY})
  set(tarnwell-boardsim_summary "simulated networked boards, to rehearse firmware upgrades without hardware")
  set(pages)
  foreach(program tarnwell-cli tarnwell-boardsim)
    set(page ${TARNWELL_PACKAGE_FILES}/${program}.1)
    set(include ${CMAKE_SOURCE_DIR}/packaging/debian/${program}.h2m)
    add_custom_command(OUTPUT ${page} ${page}.gz
      COMMAND ${HELP2MAN} --no-info --section=1 --include=${include} --name=${${program}_summary}
              --output=${page} $<TARGET_FILE:${program}>
      COMMAND sed -i -f ${CMAKE_SOURCE_DIR}/packaging/debian/man-usage.sed ${page}
      COMMAND ${GZIP} -9nf -k ${page}
      DEPENDS ${program} ${include} ${CMAKE_SOURCE_DIR}/packaging/debian/man-usage.sed
      COMMENT "Manual page ${program}.1 from ${program} --help")
    list(APPEND pages ${page}.gz)
    install(FILES ${page}.gz DESTINATION share/man/man1)
    install(FILES packaging/debian/${program}.bash-completion
            DESTINATION share/bash-completion/completions RENAME ${program})
  endforeach()
  add_custom_command(OUTPUT ${TARNWELL_PACKAGE_FILES}/changelog.gz
    COMMAND ${GZIP} -9n -c ${CMAKE_SOURCE_DIR}/packaging/debian/changelog > ${TARNWELL_PACKAGE_FILES}/changelog.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/debian/changelog)
  add_custom_target(tarnwell_package_files ALL DEPENDS ${pages} ${TARNWELL_PACKAGE_FILES}/changelog.gz)

  install(FILES packaging/debian/copyright ${TARNWELL_PACKAGE_FILES}/changelog.gz docs/station-rehearsal.md
          DESTINATION ${doc})
  # A tag lintian raises wrongly for this package; the file says why.
  install(FILES packaging/debian/tarnwell-cli.lintian-overrides
          DESTINATION share/lintian/overrides RENAME ${package})

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME ${package})
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_PACKAGE_DESCRIPTION "tarnwell-cli finds embedded boards on the network (they answer on
UDP port 2016) and sends them new firmware images, block by block, each block
acknowledged before the next: from scripts, test stations on a production line
and Linux workstations. It follows the rules of the Tarnwell window for
Windows: the same requests, firmware kinds, time-outs and retransmission.
.
tarnwell-boardsim plays such boards, faulty ones too when asked, so that a
station's scripts can be rehearsed on one machine without hardware.")
endif()

include(CPack)
