# The device side of the window: Connect and the port dialog, the slot list,
# Download, Upload and closing during a transfer. The virtual instrument
# stands behind the ports with no link delay unless a test sets one.
foreach(name test_device_connect test_device_transfers)
  add_executable(${name} ${CMAKE_CURRENT_LIST_DIR}/${name}.cpp
                 ${CMAKE_CURRENT_LIST_DIR}/DeviceSideFixture.h)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests
                             ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(${name} PRIVATE velnor_ui Qt6::Test)
  # The program folder is the executable's: a folder of its own keeps its
  # Repository apart from the other window tests running at the same time.
  set_target_properties(${name} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${name}.d)
  add_test(NAME ui.${name} COMMAND ${name})
  set_tests_properties(ui.${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${CMAKE_CURRENT_BINARY_DIR};VELNOR_INSTRUMENT_LINK=none"
    LABELS "ui")
endforeach()
