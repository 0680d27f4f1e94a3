# The waveform benchmark: the view in a real window (wx) on a private Xvfb display.
target_link_libraries(${name} PRIVATE recorder_mainwindow)
target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/Tests/support/XDisplay.cpp)
target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/Tests/support)
find_package(X11 REQUIRED)
target_link_libraries(${name} PRIVATE X11::X11)
