# The computer side's widget tests. They live in a folder of their own, so
# their program folder (and its Repository) is theirs alone.
foreach(name test_repository_pane test_browser_panes test_middle_commands test_song_lists)
  add_executable(${name} ${CMAKE_CURRENT_LIST_DIR}/${name}.cpp ${CMAKE_CURRENT_LIST_DIR}/ComputerSide.h)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/songs)
  target_link_libraries(${name} PRIVATE velnor_ui Qt6::Test)
  # The shipped help document is read where it is kept.
  target_compile_definitions(${name} PRIVATE VELNOR_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/computer)
  add_test(NAME ui.${name} COMMAND ${name})
  set_tests_properties(ui.${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${CMAKE_CURRENT_BINARY_DIR}"
    LABELS "ui")
endforeach()
