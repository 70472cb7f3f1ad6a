# quelma_module(<name> [DEPS ...]): a static library made of every .cpp in the
# calling folder and its subfolders (the module's rooms). Each folder is on the
# include path, so a header is named by its file name alone. A program's
# main.cpp is left to the module's own CMakeLists; platform code lives in
# platform/, which adds the sources of the chosen platform.
function(quelma_module name)
  cmake_parse_arguments(M "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  file(GLOB_RECURSE headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  set(folders ${CMAKE_CURRENT_SOURCE_DIR})
  foreach(file ${sources} ${headers})
    get_filename_component(folder ${file} DIRECTORY)
    list(APPEND folders ${folder})
  endforeach()
  list(REMOVE_DUPLICATES folders)
  if(NOT sources)
    # A module with headers only (or none yet) is still a target others can name.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${folders} ${PROJECT_BINARY_DIR}/generated)
    target_link_libraries(${name} INTERFACE ${M_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${sources} ${headers})
  target_include_directories(${name} PUBLIC ${folders} ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${name} PUBLIC ${M_DEPS} PRIVATE quelma_warnings)
endfunction()

# quelma_tests(<folder> DEPS ...): one test program per folder of tests/.
function(quelma_tests folder)
  cmake_parse_arguments(T "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  set(exe test_${folder})
  add_executable(${exe} ${sources})
  target_link_libraries(${exe} PRIVATE ${T_DEPS} GTest::gtest GTest::gmock GTest::gtest_main quelma_warnings)
  target_include_directories(${exe} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})  # shared test helpers
  target_compile_definitions(${exe} PRIVATE QUELMA_SOURCE_DIR="${PROJECT_SOURCE_DIR}" QUELMA_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/${folder}/data")
  # The leak check of a sanitizer build skips what system libraries keep.
  set(leaks "")
  if(QUELMA_SANITIZE)
    set(leaks ENVIRONMENT_MODIFICATION
        "LSAN_OPTIONS=set:suppressions=${PROJECT_SOURCE_DIR}/tests/sanitizer/lsan.supp:print_suppressions=0")
  endif()
  # Widget tests run on Qt's offscreen platform: no display needed.
  gtest_discover_tests(${exe} DISCOVERY_MODE PRE_TEST TEST_PREFIX "${folder}."
    PROPERTIES LABELS ${folder} TIMEOUT 120 ENVIRONMENT "QT_QPA_PLATFORM=offscreen" ${leaks})
endfunction()

# quelma_data_beside(<target>): copies the shipped styles (Data/) into Data/
# beside the target's program in the build tree, where both programs look
# last (engine/state/DataFolders.h). Each file is copied again when it
# changes.
function(quelma_data_beside target)
  file(GLOB styles CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/Data/*.quelma)
  set(copies)
  foreach(style ${styles})
    get_filename_component(name ${style} NAME)
    set(copy ${CMAKE_CURRENT_BINARY_DIR}/Data/${name})
    add_custom_command(OUTPUT ${copy}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${style} ${copy}
      DEPENDS ${style} VERBATIM)
    list(APPEND copies ${copy})
  endforeach()
  add_custom_target(${target}_data DEPENDS ${copies})
  add_dependencies(${target} ${target}_data)
endfunction()
