# The Windows cross build of what tests the plug-in: GoogleTest from the
# sources Debian ships, the header-only JSON library copied from the build
# machine, simdjson from Debian's source package (windows/fetch-simdjson.sh),
# the QMX reader, the emulated host, the tool (pelmora.exe, with the
# header-only command-line library copied too), every test program that does
# not need the Linux tool, and the Windows tool's tests. CTest runs them under
# Wine through windows/wine_run.sh, with a Wine prefix inside the build folder.
enable_testing()
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/windows/wine_run.sh ${CMAKE_BINARY_DIR}/wine-prefix)

set(PELMORA_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to cross-build")
set(PELMORA_JSON_INCLUDE /usr/include CACHE PATH "Folder holding nlohmann/json.hpp")
set(PELMORA_CLI11_INCLUDE /usr/include CACHE PATH "Folder holding CLI/CLI.hpp")
if(NOT EXISTS ${PELMORA_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${PELMORA_GTEST_SOURCE} (Debian: libgtest-dev)")
endif()
if(NOT EXISTS ${PELMORA_JSON_INCLUDE}/nlohmann/json.hpp)
  message(FATAL_ERROR "nlohmann/json.hpp not found in ${PELMORA_JSON_INCLUDE} (Debian: nlohmann-json3-dev)")
endif()
if(NOT EXISTS ${PELMORA_CLI11_INCLUDE}/CLI/CLI.hpp)
  message(FATAL_ERROR "CLI/CLI.hpp not found in ${PELMORA_CLI11_INCLUDE} (Debian: libcli11-dev)")
endif()

# A private copy, so that no other header of the build machine's include
# folder can reach the cross compiler.
file(COPY ${PELMORA_JSON_INCLUDE}/nlohmann DESTINATION ${CMAKE_BINARY_DIR}/private-include)
file(COPY ${PELMORA_CLI11_INCLUDE}/CLI DESTINATION ${CMAKE_BINARY_DIR}/private-include)
add_library(pelmora_private_headers INTERFACE)
target_include_directories(pelmora_private_headers SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/private-include)
add_library(nlohmann_json::nlohmann_json ALIAS pelmora_private_headers)
add_library(CLI11::CLI11 ALIAS pelmora_private_headers)

# Debian's simdjson is a Linux library only; its single-file build compiles
# for 32-bit Windows (with the portable kernel: the fast ones need 64 bits).
set(PELMORA_SIMDJSON_SOURCE ${PROJECT_SOURCE_DIR}/build/sources/simdjson CACHE PATH
    "simdjson sources for the cross build (windows/fetch-simdjson.sh puts them there)")
if(NOT EXISTS ${PELMORA_SIMDJSON_SOURCE}/singleheader/simdjson.cpp)
  message(FATAL_ERROR "simdjson sources not found in ${PELMORA_SIMDJSON_SOURCE}: "
                      "run windows/fetch-simdjson.sh ${PELMORA_SIMDJSON_SOURCE}")
endif()
add_library(pelmora_simdjson STATIC ${PELMORA_SIMDJSON_SOURCE}/singleheader/simdjson.cpp)
target_include_directories(pelmora_simdjson SYSTEM PUBLIC ${PELMORA_SIMDJSON_SOURCE}/singleheader)
# Known and accepted: the emulated host's speed under Wine is not what is tested.
target_compile_definitions(pelmora_simdjson PUBLIC SIMDJSON_NO_PORTABILITY_WARNING)
add_library(simdjson::simdjson ALIAS pelmora_simdjson)

set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${PELMORA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# Every program statically linked: Wine then needs no runtime DLL beside it.
add_link_options(-static -static-libgcc -static-libstdc++)

add_subdirectory(qmxread)
add_subdirectory(hostsim)
add_subdirectory(tool)
add_subdirectory(tests)
add_subdirectory(windows)
