# The Windows build (cross-built with MinGW-w64, see mingw-w64-x86_64.cmake).

# Statically linked: libstdc++, libgcc and winpthreads go inside the
# programs, which then import only Windows' own DLLs.
add_link_options(-static -static-libgcc -static-libstdc++ $<$<CONFIG:Release,MinSizeRel>:-s>)
# Windows 10 and later; wide (W) API calls only.
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 UNICODE _UNICODE)

# CLI11 and nlohmann-json are header-only, packaged for the build machine.
# Only their own folders are copied for the cross build: putting /usr/include
# on its include path would mix the build machine's C library into it.
set(korvane_host_headers ${CMAKE_BINARY_DIR}/host-headers)
foreach(dir CLI nlohmann)
  if(NOT EXISTS /usr/include/${dir})
    message(FATAL_ERROR "/usr/include/${dir} is missing: run ./dev.sh windows")
  endif()
  file(COPY /usr/include/${dir} DESTINATION ${korvane_host_headers})
endforeach()
# find_package() finds them through these small config files.
foreach(pkg CLI11 nlohmann_json)
  set(config ${CMAKE_BINARY_DIR}/host-packages/${pkg})
  file(MAKE_DIRECTORY ${config})
  file(COPY /usr/share/cmake/${pkg}/${pkg}ConfigVersion.cmake DESTINATION ${config})
  set(${pkg}_DIR ${config} CACHE PATH "" FORCE)
endforeach()
file(WRITE ${CMAKE_BINARY_DIR}/host-packages/CLI11/CLI11Config.cmake
  "if(NOT TARGET CLI11::CLI11)\n"
  "  add_library(CLI11::CLI11 INTERFACE IMPORTED)\n"
  "  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${korvane_host_headers})\n"
  "endif()\n")
file(WRITE ${CMAKE_BINARY_DIR}/host-packages/nlohmann_json/nlohmann_jsonConfig.cmake
  "if(NOT TARGET nlohmann_json::nlohmann_json)\n"
  "  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)\n"
  "  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${korvane_host_headers})\n"
  "endif()\n")

# GoogleTest, built from Debian's sources with MinGW.
if(BUILD_TESTING)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # MinGW's win32 thread model has no std::mutex: GoogleTest's hook gets
  # what it would take from it.
  target_include_directories(gtest BEFORE PUBLIC ${CMAKE_CURRENT_LIST_DIR}/gtest-mingw)
endif()
