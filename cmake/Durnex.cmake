# Every folder is one library made of the .cpp files in it (not its sub-folders),
# so adding a source file needs no edit here.
function(durnex_library name dir)
  file(GLOB _src CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT _src)
    set(_empty ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    if(NOT EXISTS ${_empty})
      file(WRITE ${_empty} "// no sources yet\n")
    endif()
    set(_src ${_empty})
  endif()
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

# One test executable per folder of tests/, each case registered with CTest.
function(durnex_test_dir name dir)
  file(GLOB _src CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT _src)
    return()
  endif()
  add_executable(test_${name} ${_src} ${PROJECT_SOURCE_DIR}/tests/support/LeakSuppressions.cpp
                 ${PROJECT_SOURCE_DIR}/tests/support/TestSoundCard.cpp)
  target_include_directories(test_${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  # GoogleTest's EXPECT macros are if-else statements; an unbraced loop or if around one is fine.
  target_compile_options(test_${name} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-Wno-dangling-else>)
  target_link_libraries(test_${name} PRIVATE ${ARGN} GTest::gtest GTest::gmock GTest::gtest_main)
  # Where the tests find the source tree and their data files.
  target_compile_definitions(test_${name} PRIVATE
    DURNEX_SOURCE_DIR="${PROJECT_SOURCE_DIR}" DURNEX_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
  gtest_discover_tests(test_${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    # Sound goes to ALSA's file plugin (tests/data/asound-file.conf), never to a real card.
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ALSA_CONFIG_PATH=${PROJECT_SOURCE_DIR}/tests/data/asound-file.conf"
    TIMEOUT 600)
endfunction()
