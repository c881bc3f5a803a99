# The Windows cross build of what tests the plug-in: GoogleTest from the
# sources Debian ships, the header-only JSON library copied from the build
# machine, the QMX reader, the emulated host, every test program that does not
# need the Linux tool, and the export runner. CTest runs them under Wine
# through windows/wine_run.sh, with a Wine prefix inside the build folder.
enable_testing()
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/windows/wine_run.sh ${CMAKE_BINARY_DIR}/wine-prefix)

set(PELMORA_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to cross-build")
set(PELMORA_JSON_INCLUDE /usr/include CACHE PATH "Folder holding nlohmann/json.hpp")
if(NOT EXISTS ${PELMORA_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${PELMORA_GTEST_SOURCE} (Debian: libgtest-dev)")
endif()
if(NOT EXISTS ${PELMORA_JSON_INCLUDE}/nlohmann/json.hpp)
  message(FATAL_ERROR "nlohmann/json.hpp not found in ${PELMORA_JSON_INCLUDE} (Debian: nlohmann-json3-dev)")
endif()

# A private copy, so that no other header of the build machine's include
# folder can reach the cross compiler.
file(COPY ${PELMORA_JSON_INCLUDE}/nlohmann DESTINATION ${CMAKE_BINARY_DIR}/private-include)
add_library(pelmora_private_json INTERFACE)
target_include_directories(pelmora_private_json SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/private-include)
add_library(nlohmann_json::nlohmann_json ALIAS pelmora_private_json)

set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${PELMORA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# Every program statically linked: Wine then needs no runtime DLL beside it.
add_link_options(-static -static-libgcc -static-libstdc++)

add_subdirectory(qmxread)
add_subdirectory(hostsim)
add_subdirectory(tests)
add_subdirectory(windows)
