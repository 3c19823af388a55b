# Common settings and helpers for every target of the project.

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE OFF)

add_compile_options(-Wall -Wextra)
if(WIN32)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  # The shipped programs and DLLs need only the system's own DLLs.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

if(NXR_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# GoogleTest, built from the Debian source package in each tree.
if(NOT TARGET gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(t gtest gtest_main gmock gmock_main)
    if(TARGET ${t})
      target_compile_options(${t} PRIVATE -w)
    endif()
  endforeach()
endif()

# nxr_add_test(NAME SOURCES... [LIBS libs...])
# One test program per subsystem; each program is one ctest entry, because a Wine process start
# costs a noticeable fraction of a second.
function(nxr_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gmock gtest_main)
  if(WIN32)
    target_link_options(${name} PRIVATE -mconsole)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
endfunction()

# nxr_add_fuzzer(NAME SOURCES... [LIBS libs...]): a libFuzzer target, built in the fuzz tree only.
# ctest runs it briefly over its seed corpus folder when one exists.
function(nxr_add_fuzzer name)
  if(NOT NXR_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(runs $ENV{NXR_FUZZ_SECONDS})
  if(NOT runs)
    set(runs 20)
  endif()
  set(args -max_total_time=${runs} -rss_limit_mb=1024 -malloc_limit_mb=256 -timeout=10)
  # New inputs go to a folder of the build tree; the seed folder in the sources is only read.
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${name}.corpus)
  file(MAKE_DIRECTORY ${work})
  add_test(NAME ${name} COMMAND ${name} ${args} ${work} ${F_CORPUS})
endfunction()

# nxr_runtime_resources(TARGET): adds the runtime's generated resource script to TARGET (nxr.exe):
# icon 107, password dialog 150, and BIN 135 (the control), 137 (the bridge movie) and 140 (the
# key-lock library) when the targets producing them are part of the build.
function(nxr_runtime_resources target)
  set(bins "")
  if(NXR_CONTROL_IMAGE STREQUAL "player")
    if(TARGET nxrplayer)
      string(APPEND bins "135 BIN \"$<TARGET_FILE:nxrplayer>\"\n")
      add_dependencies(${target} nxrplayer)
    endif()
  elseif(NOT NXR_CONTROL_IMAGE STREQUAL "none")
    string(APPEND bins "135 BIN \"${NXR_CONTROL_IMAGE}\"\n")
  endif()
  if(TARGET nxr_bridge_movie)
    string(APPEND bins "137 BIN \"$<TARGET_PROPERTY:nxr_bridge_movie,MOVIE_FILE>\"\n")
    add_dependencies(${target} nxr_bridge_movie)
  endif()
  if(TARGET dwlgina2)
    string(APPEND bins "140 BIN \"$<TARGET_FILE:dwlgina2>\"\n")
    add_dependencies(${target} dwlgina2)
  endif()
  set(NXR_ICON ${PROJECT_SOURCE_DIR}/runtime/resources/nxr.ico)
  set(NXR_BIN_RESOURCES "${bins}")
  configure_file(${PROJECT_SOURCE_DIR}/runtime/resources/nxr.rc.in
                 ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc.in @ONLY)
  file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc
       INPUT ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc.in)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
endfunction()
