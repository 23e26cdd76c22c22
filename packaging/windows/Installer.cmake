# The Windows installer, velkarn3-pano-<version>-setup.exe in the build
# folder, made with NSIS from the stripped program (target installer, part
# of the Windows build when makensis is at hand).
find_program(MAKENSIS makensis)
if(NOT MAKENSIS)
  message(STATUS "makensis not found: no installer (scripts/setup-deps.sh windows)")
  return()
endif()
set(VELKARN_SETUP ${CMAKE_BINARY_DIR}/velkarn3-pano-${PROJECT_VERSION}-setup.exe)
set(VELKARN_SHIPPED ${CMAKE_BINARY_DIR}/installer/velkarn3.exe)
set(VELKARN_NSI ${CMAKE_SOURCE_DIR}/packaging/windows/velkarn3.nsi)
# The transponder plans the satellite naming reads, shipped in a "dvb-s"
# folder beside the program: the DVB-S files of Debian's dtv-scan-tables
# package as installed on the build machine (scripts/packages/windows.txt),
# with the package's copyright file (LGPL-2.1+).
set(VELKARN_DVBS_SOURCE /usr/share/dvb/dvb-s CACHE PATH "DVB-S scan files of dtv-scan-tables")
set(VELKARN_DVBS_COPYRIGHT /usr/share/doc/dtv-scan-tables/copyright CACHE FILEPATH "dtv-scan-tables' copyright file")
if(NOT IS_DIRECTORY ${VELKARN_DVBS_SOURCE} OR NOT EXISTS ${VELKARN_DVBS_COPYRIGHT})
  message(FATAL_ERROR "dtv-scan-tables is not installed: scripts/setup-deps.sh windows")
endif()
set(VELKARN_DVBS ${CMAKE_BINARY_DIR}/installer/dvb-s)
# The same plans beside the built program and the tests in bin/, where the
# program looks for them as the installed one does.
file(COPY ${VELKARN_DVBS_SOURCE}/ DESTINATION ${CMAKE_BINARY_DIR}/bin/dvb-s)
add_custom_command(OUTPUT ${VELKARN_SETUP} ${VELKARN_SHIPPED}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/installer
  COMMAND ${CMAKE_STRIP} --strip-all -o ${VELKARN_SHIPPED} $<TARGET_FILE:velkarn3>
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${VELKARN_DVBS}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${VELKARN_DVBS_SOURCE} ${VELKARN_DVBS}
  COMMAND ${CMAKE_COMMAND} -E copy ${VELKARN_DVBS_COPYRIGHT} ${VELKARN_DVBS}/copyright
  COMMAND ${MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DEXE=${VELKARN_SHIPPED}
          -DDVBS=${VELKARN_DVBS} -DICON=${VELKARN_ICON} -DOUTFILE=${VELKARN_SETUP} ${VELKARN_NSI}
  DEPENDS velkarn3 ${VELKARN_NSI} ${VELKARN_ICON}
  COMMENT "Making the installer velkarn3-pano-${PROJECT_VERSION}-setup.exe"
  VERBATIM)
add_custom_target(installer ALL DEPENDS ${VELKARN_SETUP})
