# The Windows package: a ZIP with pelmora.dll, the tool pelmora.exe beside it
# (when the build makes it), the example template folder, the sample drawing
# with the description of its format, and the install text (CR LF line ends,
# for every Windows editor).
install(TARGETS pelmora_plugin LIBRARY DESTINATION . RUNTIME DESTINATION .)
if(TARGET pelmora)
  install(TARGETS pelmora RUNTIME DESTINATION .)
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/host/Pelmora DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/examples/house.json ${PROJECT_SOURCE_DIR}/docs/drawing-format.md DESTINATION .)
configure_file(${PROJECT_SOURCE_DIR}/windows/INSTALL.txt.in ${CMAKE_BINARY_DIR}/INSTALL.txt @ONLY NEWLINE_STYLE WIN32)
install(FILES ${CMAKE_BINARY_DIR}/INSTALL.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME pelmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME pelmora-${PROJECT_VERSION}-win32)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# The debugging symbols stay in the build folder; the shipped module is half the size without them.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
