# The window's side: list reloads with song names read, and a picture of the
# window. Run with build/bench/bench_ui and build/bench/grab_window out.png
if(TARGET velnor_ui)
  add_executable(bench_ui ${CMAKE_CURRENT_LIST_DIR}/bench_ui.cpp)
  target_link_libraries(bench_ui PRIVATE velnor_ui)
  add_executable(grab_window ${CMAKE_CURRENT_LIST_DIR}/grab_window.cpp)
  target_link_libraries(grab_window PRIVATE velnor_ui)
endif()
# Pictures of the slot numbers, a button's focus mark and the help viewer:
#   xvfb-run -a build/bench/grab_features OUTDIR
if(TARGET velnor_ui)
  add_executable(grab_features ${CMAKE_CURRENT_LIST_DIR}/grab_features.cpp)
  target_link_libraries(grab_features PRIVATE velnor_ui)
  target_compile_definitions(grab_features PRIVATE VELNOR_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()
# Pictures of songs from elsewhere converted into the repository:
#   xvfb-run -a build/bench/grab_convert OUTDIR FOLDER
if(TARGET velnor_ui)
  add_executable(grab_convert ${CMAKE_CURRENT_LIST_DIR}/grab_convert.cpp)
  target_link_libraries(grab_convert PRIVATE velnor_ui)
endif()
# Pictures of names from the instrument and of a file name that is not UTF-8:
#   xvfb-run -a build/bench/grab_names OUTDIR
if(TARGET velnor_ui)
  add_executable(grab_names ${CMAKE_CURRENT_LIST_DIR}/grab_names.cpp)
  target_link_libraries(grab_names PRIVATE velnor_ui)
endif()
# The port dialog after Find, on the real ports (with a JACK server running):
#   xvfb-run -a build/bench/grab_find OUT.png
if(TARGET velnor_ui)
  add_executable(grab_find ${CMAKE_CURRENT_LIST_DIR}/grab_find.cpp)
  target_link_libraries(grab_find PRIVATE velnor_ui)
endif()
