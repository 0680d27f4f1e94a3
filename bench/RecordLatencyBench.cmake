# RecordLatencyBench: where the programs put a click and what they keep after Stop, against a private
# PulseAudio daemon (the sound-server tests' daemon, ClickTiming's click player and takes) and, for the
# window program, a private display.
if(TARGET pulse_test_support)
  target_sources(RecordLatencyBench PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/ClickTiming.cpp)
  target_link_libraries(RecordLatencyBench PRIVATE pulse_test_support)
  target_compile_definitions(RecordLatencyBench PRIVATE VORANE_HAVE_CLICK_TIMING=1)
  foreach(target vorane-record VoraneRecorder lame_enc platform_bass platform_basswma recorder_skins)
    if(TARGET ${target})
      add_dependencies(RecordLatencyBench ${target})
    endif()
  endforeach()
endif()
