# MP3 and OGG receivers: the MP3 encoder module's interface header (the module itself is bound at
# run time, never linked) and the Vorbis and Ogg headers (the libraries are bound at run time too).
target_link_libraries(recorder_encoders PUBLIC platform_lame_enc_api)
# Building the receivers builds the module they load, into the application directory.
add_dependencies(recorder_encoders lame_enc)
pkg_check_modules(VORBIS_HEADERS REQUIRED vorbisenc vorbis ogg)
target_include_directories(recorder_encoders PUBLIC ${VORBIS_HEADERS_INCLUDE_DIRS})
