# drovo_add_library(NAME SOURCES ... [INCLUDE dir] [LINK libs...])
#
# Builds NAME as a shared library from an object library, and NAME_internal as a static
# library of the same objects. Clients link the shared library and see only its exports;
# the library's own tests link NAME_internal to reach the hidden classes directly.
function(drovo_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINK" ${ARGN})
  add_library(${name}_objects OBJECT ${ARG_SOURCES})
  target_include_directories(${name}_objects PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include
                                             PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
  target_link_libraries(${name}_objects PUBLIC ${ARG_LINK})
  add_library(${name} SHARED $<TARGET_OBJECTS:${name}_objects>)
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include)
  target_link_libraries(${name} PUBLIC ${ARG_LINK})
  add_library(${name}_internal STATIC $<TARGET_OBJECTS:${name}_objects>)
  target_include_directories(${name}_internal PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include
                                              ${CMAKE_CURRENT_SOURCE_DIR}/src)
  target_link_libraries(${name}_internal PUBLIC ${ARG_LINK})
endfunction()

# drovo_add_test(NAME SOURCES ... LINK libs...)
# A GoogleTest executable whose cases are registered with CTest one by one.
function(drovo_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINK" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LINK} GTest::gtest GTest::gtest_main Threads::Threads)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()
