# The asset generator and the tests of the committed assets in res/: both native only.
if(NOT CMAKE_CROSSCOMPILING)
  add_executable(resgen ${PROJECT_SOURCE_DIR}/scripts/resgen.cpp)
  target_link_libraries(resgen PRIVATE karvel_warnings)
  # scripts/make-res runs it from the top of the build folder.
  set_target_properties(resgen PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

  add_executable(assets_test assets_test.cpp)
  target_link_libraries(assets_test PRIVATE karvel_warnings GTest::gtest_main)
  target_compile_definitions(assets_test PRIVATE KARVEL_RESGEN="$<TARGET_FILE:resgen>"
                                                 KARVEL_RES_DIR="${PROJECT_SOURCE_DIR}/res")
  add_dependencies(assets_test resgen)
  gtest_discover_tests(assets_test DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
endif()
