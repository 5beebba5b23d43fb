# GoogleTest from Debian's source package, built with the project's own
# compiler (the MinGW cross compiler, or the native one for the engine core).
set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# quorvane_add_test(<name> SOURCES ... [LIBS ...] [GUI] [NO_DECODERS] [TIMEOUT s])
# One test executable, registered as one ctest test (cases are not listed at
# build time: that would run every exe under Wine during the build). The
# picture decoder DLLs are put beside it, as beside the program, unless
# NO_DECODERS.
# GUI tests share the virtual display and the Wine user's folders, so they
# never run at the same time as each other.
function(quorvane_add_test name)
  cmake_parse_arguments(T "GUI;NO_DECODERS" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  if(COMMAND quorvane_copy_decoders AND NOT T_NO_DECODERS)
    quorvane_copy_decoders(${name})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_GUI)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK wine-desktop LABELS gui)
  endif()
endfunction()

# quorvane_map_drive(<test> <letter>)
# While <test> runs, drive <letter>: of the Wine prefix is an empty folder
# (Wine's DefineDosDevice makes a name that its file functions do not
# follow, so the prefix's own drive link is made). The test learns the drive
# as TEST_DRIVE ("Q:") and the folder behind it as TEST_DRIVE_FOLDER.
function(quorvane_map_drive test letter)
  set(root ${CMAKE_CURRENT_BINARY_DIR}/drive_${letter})
  set(script ${PROJECT_SOURCE_DIR}/cmake/MapDrive.cmake)
  add_test(NAME ${test}_drive_setup
           COMMAND ${CMAKE_COMMAND} -DLETTER=${letter} -DROOT=${root} -P ${script})
  add_test(NAME ${test}_drive_cleanup
           COMMAND ${CMAKE_COMMAND} -DLETTER=${letter} -DROOT=${root} -DREMOVE=1 -P ${script})
  set_tests_properties(${test}_drive_setup PROPERTIES FIXTURES_SETUP ${test}_drive)
  set_tests_properties(${test}_drive_cleanup PROPERTIES FIXTURES_CLEANUP ${test}_drive)
  set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED ${test}_drive)
  string(TOUPPER ${letter} drive)
  target_compile_definitions(${test} PRIVATE TEST_DRIVE="${drive}:" TEST_DRIVE_FOLDER="Z:${root}")
endfunction()
