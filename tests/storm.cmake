# Message storms into the real main window, in process under Wine in a display.
if(WIN32)
  add_executable(storm_test storm_test.cpp winsupport.cpp invariants.cpp)
  karvelResources(storm_test)
  target_link_libraries(storm_test PRIVATE karvel_ui karvel_warnings GTest::gtest_main)
  # The game's own calls of these pass through the storm's checking wrappers: drawing objects,
  # paints, the gravity timer, the seed of the pieces, the start of a new game, and sound (none played).
  target_link_options(storm_test PRIVATE
    -Wl,--wrap=__imp_CreatePen,--wrap=__imp_CreateSolidBrush,--wrap=__imp_CreateFontA,--wrap=__imp_DeleteObject
    -Wl,--wrap=__imp_SelectObject,--wrap=__imp_BeginPaint,--wrap=__imp_EndPaint
    -Wl,--wrap=__imp_SetTimer,--wrap=__imp_KillTimer,--wrap=srand,--wrap=_Z7newGamei,--wrap=_Z13playSoundFilePKc)
  gtest_discover_tests(storm_test DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
endif()
