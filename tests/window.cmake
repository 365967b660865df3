# Start-up, the message loop and the window procedure, in-process under Wine in a display.
if(WIN32)
  # Start-up loads menu 103 and icon 101 from the program's own resources.
  add_executable(window_test window_test.cpp winsupport.cpp invariants.cpp)
  karvelResources(window_test)
  target_link_libraries(window_test PRIVATE karvel_ui karvel_warnings GTest::gtest_main)
  # The seed start-up gives srand, and the pause box's style, pass through the test's recording wrappers.
  target_link_options(window_test PRIVATE -Wl,--wrap=srand -Wl,--wrap=__imp_MessageBoxA)
  gtest_discover_tests(window_test DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
endif()

# The staged Karvel.exe at several DPIs, with a taller menu bar and on small screens: a probe
# program reports where its window lies.
if(WIN32)
  find_program(PYTHON3 python3 REQUIRED)
  add_executable(windowprobe windowprobe.cpp)
  target_link_libraries(windowprobe PRIVATE user32 gdi32 karvel_warnings)
  add_test(NAME EndToEnd.WholePictureAtEveryDpiAndScreen
           COMMAND ${PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/window_fit.py $<TARGET_FILE:Karvel>
                   $<TARGET_FILE:windowprobe> ${CMAKE_BINARY_DIR}/window-fit)
endif()
