# The window during a download through the virtual instrument: the longest
# stretch without a UI event, CPU per wall time, and pictures of the window.
#   build/bench/bench_devices [--link usb|din|none] [--bytes N] [--grab DIR]
if(TARGET velnor_ui)
  add_executable(bench_devices ${CMAKE_CURRENT_LIST_DIR}/bench_devices.cpp)
  target_link_libraries(bench_devices PRIVATE velnor_ui)
endif()
# Pictures of the Delete key in the repository list and of a song dropped on a
# slot, with the real message boxes:
#   xvfb-run -a -s "-screen 0 1024x768x24" build/bench/grab_deletes_and_drops OUTDIR
if(TARGET velnor_ui)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_executable(grab_deletes_and_drops ${CMAKE_CURRENT_LIST_DIR}/grab_deletes_and_drops.cpp)
  target_link_libraries(grab_deletes_and_drops PRIVATE velnor_ui Qt6::Test)
endif()
