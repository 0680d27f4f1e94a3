# VoraneRecorder: the window program (application object over the main window); wx.
find_package(wxWidgets REQUIRED COMPONENTS core base adv)
pkg_check_modules(APP_GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
find_package(X11 REQUIRED)

# Skins by number, shared by start-up and the main window's Skins button.
add_library(recorder_app_skins STATIC Skins.cpp)
target_include_directories(recorder_app_skins PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(recorder_app_skins PUBLIC recorder_config platform_skin)

add_executable(VoraneRecorder MainApp.cpp)
target_link_libraries(VoraneRecorder PRIVATE recorder_mainwindow recorder_config recorder_app_skins platform_instance
  PkgConfig::APP_GTK3 X11::X11)
if(TARGET platform_pulse)
  target_link_libraries(VoraneRecorder PRIVATE platform_pulse)
  target_compile_definitions(VoraneRecorder PRIVATE VORANE_HAVE_PULSE=1)
endif()
install(TARGETS VoraneRecorder DESTINATION ${VORANE_INSTALL_APPDIR})
