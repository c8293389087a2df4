# The window during a download through the virtual instrument: the longest
# stretch without a UI event, CPU per wall time, and pictures of the window.
#   build/bench/bench_devices [--link usb|din|none] [--bytes N] [--grab DIR]
if(TARGET velnor_ui)
  add_executable(bench_devices ${CMAKE_CURRENT_LIST_DIR}/bench_devices.cpp)
  target_link_libraries(bench_devices PRIVATE velnor_ui)
endif()
