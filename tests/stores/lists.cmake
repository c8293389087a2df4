add_executable(test_stores_lists
  ${CMAKE_CURRENT_LIST_DIR}/test_file_rows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_browser_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_folder_ops.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_drop_files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_folder_tree.cpp
)
target_include_directories(test_stores_lists PRIVATE ${PROJECT_SOURCE_DIR}/tests/songs)
target_link_libraries(test_stores_lists PRIVATE velnor_core GTest::gtest_main)
gtest_discover_tests(test_stores_lists)
