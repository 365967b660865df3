# Sounds heard end to end: the staged Karvel.exe under Wine in folders of every kind, each sound
# captured through ALSA's file plugin and compared byte for byte with its WAV file.
if(WIN32)
  find_program(PYTHON3 python3 REQUIRED)
  foreach(case
      "Sound.MoveTurnLand plain"
      "Sound.ClearedRowThenGameOver cleared"
      "Sound.MoveSwitchedOffInOptions moveoff"
      "Sound.TurnFileMissing notac"
      "Sound.CyrillicFolderWithSpaces cyrillic"
      "BadEnv.Folder246Characters longdir"
      "BadEnv.PathTooLongForSoundBuffer soundtoolong"
      "BadEnv.ExeNameTooLong exetoolong"
      "BadEnv.ExeRenamedWithSpaces spaces"
      "BadEnv.ReadOnlyFolder readonly"
      "Sound.ExeAloneSilentDespiteASystemDefaultSound alone"
      "Sound.HeldKeyEverySoundInOrderOneDeviceClosedWhenQuiet held"
      "BadEnv.NoSoundDeviceNoFileReadUntilAQuietSpell nodevice")
    separate_arguments(case)
    list(GET case 0 name)
    list(GET case 1 scenario)
    add_test(NAME ${name}
             COMMAND ${PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/sounds_e2e.py ${scenario}
                     $<TARGET_FILE_DIR:Karvel> ${CMAKE_BINARY_DIR}/sound/${scenario})
  endforeach()
  # The exe-alone test's control: a request without SND_NODEFAULT plays the default sound.
  add_executable(defaultsound defaultsound.cpp)
  target_link_libraries(defaultsound PRIVATE winmm karvel_warnings)
  set_tests_properties(Sound.ExeAloneSilentDespiteASystemDefaultSound
                       PROPERTIES ENVIRONMENT KARVEL_DEFAULT_SOUND_PROBE=$<TARGET_FILE:defaultsound>)
endif()

# The sound service over an audio stack that stalls or fails: the game's sound library with
# waveOut calls of the test's own, one row of the table per test.
if(WIN32)
  add_executable(stalled_sound_test stalled_sound_test.cpp)
  target_link_libraries(stalled_sound_test PRIVATE karvel_playfile karvel_warnings)
  karvelSounds(stalled_sound_test ${CMAKE_CURRENT_BINARY_DIR})
  # A sound of another format than the five (8000 Hz, mono, 8 bits), beside them.
  configure_file(wav-corpus/odd-chunk-then-data.wav ${CMAKE_CURRENT_BINARY_DIR}/other.wav COPYONLY)
  foreach(row heldkey slowed hung deviceback otherformat refusedformat)
    add_test(NAME StalledSoundStack.${row} COMMAND stalled_sound_test ${row})
  endforeach()
  add_dependencies(benchmarks stalled_sound_test) # scripts/bench measures its requests too
endif()
