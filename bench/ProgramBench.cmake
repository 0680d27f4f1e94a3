# ProgramBench: the window program recording from a private PulseAudio daemon (the tests' daemon helper).
target_sources(ProgramBench PRIVATE ${CMAKE_SOURCE_DIR}/Tests/pulse/PulseDaemon.cpp)
target_include_directories(ProgramBench PRIVATE ${CMAKE_SOURCE_DIR}/Tests/pulse)
