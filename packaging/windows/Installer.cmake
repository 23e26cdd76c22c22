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
add_custom_command(OUTPUT ${VELKARN_SETUP} ${VELKARN_SHIPPED}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/installer
  COMMAND ${CMAKE_STRIP} --strip-all -o ${VELKARN_SHIPPED} $<TARGET_FILE:velkarn3>
  COMMAND ${MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DEXE=${VELKARN_SHIPPED}
          -DICON=${VELKARN_ICON} -DOUTFILE=${VELKARN_SETUP} ${VELKARN_NSI}
  DEPENDS velkarn3 ${VELKARN_NSI} ${VELKARN_ICON}
  COMMENT "Making the installer velkarn3-pano-${PROJECT_VERSION}-setup.exe"
  VERBATIM)
add_custom_target(installer ALL DEPENDS ${VELKARN_SETUP})
