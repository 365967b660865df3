# The fuzz targets of the rules and of the WAV reader, and their bounded runs: only in a clang
# build configured with -DKARVEL_FUZZ=ON.
target_compile_options(karvel_rules PRIVATE ${KARVEL_FUZZ_FLAGS})
target_compile_options(karvel_sound PRIVATE ${KARVEL_FUZZ_FLAGS})
target_compile_options(karvel_wavfile PRIVATE ${KARVEL_FUZZ_FLAGS})
add_executable(fuzz_rules ${CMAKE_CURRENT_LIST_DIR}/fuzz_rules.cpp ${CMAKE_CURRENT_LIST_DIR}/invariants.cpp)
target_include_directories(fuzz_rules PRIVATE ${CMAKE_CURRENT_LIST_DIR})
# The checks themselves get the sanitizers but no coverage: libFuzzer steers by the rules alone,
# and tracing every comparison of the checks would cost most of the time.
list(REMOVE_ITEM KARVEL_FUZZ_FLAGS -fsanitize=fuzzer-no-link,address,undefined)
target_compile_options(fuzz_rules PRIVATE -fsanitize=address,undefined ${KARVEL_FUZZ_FLAGS})
target_link_libraries(fuzz_rules PRIVATE karvel_sound karvel_rules karvel_warnings
                      -fsanitize=fuzzer,address,undefined)
add_executable(fuzz_wav ${CMAKE_CURRENT_LIST_DIR}/fuzz_wav.cpp)
target_compile_options(fuzz_wav PRIVATE -fsanitize=address,undefined ${KARVEL_FUZZ_FLAGS})
target_link_libraries(fuzz_wav PRIVATE karvel_wavfile karvel_warnings -fsanitize=fuzzer,address,undefined)

# About 30 s over a copy of the seeds in the build folder, which keeps what earlier runs found;
# a crash is saved as fuzz-artifacts/crash-* beside it.
enable_testing()
add_test(NAME Fuzz.Rules
         COMMAND sh -c "mkdir -p fuzz-corpus fuzz-artifacts && cp \"$1\"/* fuzz-corpus/ && exec \"$0\" -max_total_time=30 -timeout=10 -print_final_stats=1 -artifact_prefix=fuzz-artifacts/ fuzz-corpus"
                 $<TARGET_FILE:fuzz_rules> ${CMAKE_CURRENT_LIST_DIR}/fuzz-corpus
         WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
set_tests_properties(Fuzz.Rules PROPERTIES TIMEOUT 120)

# The same for the WAV reader, 20 s over a copy of its seeds: the shipped sounds and small broken files.
add_test(NAME Fuzz.WavFile
         COMMAND sh -c "mkdir -p wav-fuzz-corpus wav-fuzz-artifacts && cp \"$1\"/* wav-fuzz-corpus/ && exec \"$0\" -max_total_time=20 -timeout=10 -print_final_stats=1 -artifact_prefix=wav-fuzz-artifacts/ wav-fuzz-corpus"
                 $<TARGET_FILE:fuzz_wav> ${CMAKE_CURRENT_LIST_DIR}/wav-corpus
         WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
set_tests_properties(Fuzz.WavFile PROPERTIES TIMEOUT 120)
