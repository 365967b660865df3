# The menu commands and dialogs on the real main window, and the resources of the built program.
if(WIN32)
  # The resource script is compiled in, so that the dialogs come from the test's own module
  # just as they come from Karvel.exe's.
  add_executable(commands_test commands_test.cpp winsupport.cpp invariants.cpp)
  karvelResources(commands_test)
  target_link_libraries(commands_test PRIVATE karvel_ui karvel_warnings GTest::gtest_main)
  gtest_discover_tests(commands_test DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)

  # Under Wine a path from the root names the same file on the drive of the build folder.
  add_executable(built_resources_test built_resources_test.cpp)
  target_compile_definitions(built_resources_test PRIVATE KARVEL_EXE="$<TARGET_FILE:Karvel>")
  target_link_libraries(built_resources_test PRIVATE version karvel_warnings GTest::gtest_main)
  add_dependencies(built_resources_test Karvel)
  gtest_discover_tests(built_resources_test DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
endif()
