# Start-up, the message loop and the window procedure, in-process under Wine in a display.
if(WIN32)
  # Start-up loads menu 103 and icon 101 from the program's own resources.
  add_executable(window_test window_test.cpp winsupport.cpp invariants.cpp ${PROJECT_SOURCE_DIR}/ui/karvel.rc)
  target_link_libraries(window_test PRIVATE karvel_ui karvel_warnings GTest::gtest_main)
  # The seed start-up gives srand passes through the test's recording wrapper.
  target_link_options(window_test PRIVATE -Wl,--wrap=srand)
  gtest_discover_tests(window_test DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
endif()
