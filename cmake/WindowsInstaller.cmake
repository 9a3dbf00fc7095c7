# The Windows installer beside the zip: Vellumor-<version>-<arch>-setup.exe, made by NSIS's
# makensis from the same two programs (packaging/windows/vellumor.nsi).
find_program(MAKENSIS makensis REQUIRED)
set(VELLUMOR_INSTALLER
    ${CMAKE_BINARY_DIR}/Vellumor-${PROJECT_VERSION}-${VELLUMOR_WINDOWS_ARCH}-setup.exe)
set(installer_script ${PROJECT_SOURCE_DIR}/packaging/windows/vellumor.nsi)
set(installer_icon ${PROJECT_SOURCE_DIR}/app/win32/vellumor.ico)
add_custom_command(OUTPUT ${VELLUMOR_INSTALLER}
  COMMAND ${MAKENSIS} -V2 -WX -INPUTCHARSET UTF8 -DVERSION=${PROJECT_VERSION}
          -DARCH=${VELLUMOR_WINDOWS_ARCH} -DPROGRAMS=${CMAKE_BINARY_DIR}/out
          -DICON=${installer_icon} -DOUTFILE=${VELLUMOR_INSTALLER} ${installer_script}
  DEPENDS Vellumor xps2img ${installer_script} ${installer_icon}
  COMMENT "Making ${VELLUMOR_INSTALLER}")
add_custom_target(vellumor_installer ALL DEPENDS ${VELLUMOR_INSTALLER})
