# Transfers through the virtual instrument with each link model:
#   build/bench/bench_transfer [repeats]
add_executable(bench_transfer ${CMAKE_CURRENT_LIST_DIR}/bench_transfer.cpp)
target_link_libraries(bench_transfer PRIVATE velnor_core)
