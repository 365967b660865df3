# The paint: pixel checks on memory bitmaps, drawing-object bookkeeping, and one
# test on a real window, which needs an X display (DISPLAY) for Wine.
if(WIN32)
  add_executable(paint_test paint_test.cpp invariants.cpp ${PROJECT_SOURCE_DIR}/ui/paint.cpp)
  target_include_directories(paint_test PRIVATE ${PROJECT_SOURCE_DIR}/ui)
  target_link_libraries(paint_test PRIVATE karvel_rules karvel_warnings GTest::gtest_main user32 gdi32)
  # Every call of these four, the paint's included, goes through the test's recording wrappers.
  target_link_options(paint_test PRIVATE
    -Wl,--wrap=__imp_CreatePen,--wrap=__imp_CreateSolidBrush,--wrap=__imp_CreateFontA,--wrap=__imp_DeleteObject)
  gtest_discover_tests(paint_test DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
endif()
