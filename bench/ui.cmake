# The window's side: list reloads with song names read, and a picture of the
# window. Run with build/bench/bench_ui and build/bench/grab_window out.png
if(TARGET velnor_ui)
  add_executable(bench_ui ${CMAKE_CURRENT_LIST_DIR}/bench_ui.cpp)
  target_link_libraries(bench_ui PRIVATE velnor_ui)
  add_executable(grab_window ${CMAKE_CURRENT_LIST_DIR}/grab_window.cpp)
  target_link_libraries(grab_window PRIVATE velnor_ui)
endif()
