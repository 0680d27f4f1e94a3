# WMA receiver: binds libbass.so and libbasswma.so at run time; it needs their headers, and the modules built beside the program.
if(TARGET platform_bass)
  target_link_libraries(recorder_encoders PUBLIC platform_bass_headers)
  add_dependencies(recorder_encoders platform_bass platform_basswma)
endif()
