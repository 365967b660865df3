# One quick round of each benchmark program (scripts/bench runs the full ones): each fails
# when a measurement cannot be taken. The Windows ones need the test display.
if(WIN32)
  add_test(NAME Bench.StartUpSmoke COMMAND startup_bench --smoke $<TARGET_FILE:Karvel> $<TARGET_FILE:emptywindow>)
  add_test(NAME Bench.PaintSmoke COMMAND paint_bench --smoke)
  set_tests_properties(Bench.StartUpSmoke Bench.PaintSmoke PROPERTIES TIMEOUT 60)
else()
  add_test(NAME Bench.RulesSmoke COMMAND rules_bench --smoke)
endif()
