# PulseBench: the sound-server backend against a private daemon (the tests' daemon helper).
if(TARGET platform_pulse)
  target_sources(PulseBench PRIVATE ${CMAKE_SOURCE_DIR}/Tests/pulse/PulseDaemon.cpp)
  target_include_directories(PulseBench PRIVATE ${CMAKE_SOURCE_DIR}/Tests/pulse)
  target_link_libraries(PulseBench PRIVATE platform_pulse)
  target_compile_definitions(PulseBench PRIVATE VORANE_HAVE_PULSE=1)
endif()
