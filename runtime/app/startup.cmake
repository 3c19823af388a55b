# nxr.exe: the entry function, the Application and its start-up pieces. Included from this
# folder's CMakeLists.txt.
add_library(nxr_startup_core STATIC work_folder.cpp)
target_link_libraries(nxr_startup_core PUBLIC nxr_support)

if(WIN32)
  add_library(nxr_startup STATIC application.cpp display_modes.cpp)
  target_link_libraries(nxr_startup PUBLIC nxr_startup_core nxr_project nxr_moviehost nxr_modules nxr_bridge nxr_support
                        comctl32 ddraw winmm ole32 shell32)
  add_executable(nxr WIN32 main.cpp)
  target_link_libraries(nxr PRIVATE nxr_startup)
  target_link_options(nxr PRIVATE -municode)
  nxr_runtime_resources(nxr)
else()
  nxr_add_test(app_tests SOURCES work_folder_test.cpp LIBS nxr_startup_core)
endif()
