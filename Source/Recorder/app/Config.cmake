# config: the configuration file and the program's folders (application, configuration, output); pugixml, no wx.
find_package(pugixml REQUIRED)
add_library(recorder_config STATIC ${CMAKE_CURRENT_LIST_DIR}/Config.cpp ${CMAKE_CURRENT_LIST_DIR}/AppPaths.cpp)
target_include_directories(recorder_config PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(recorder_config PUBLIC recorder_settings pugixml::pugixml)
