# The computer side of the window: the repository list, the browser's folder
# tree and file list, and the middle pane's copy and refresh commands.
target_sources(velnor_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/MiddleViewCommands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RepListCtrl.cpp ${CMAKE_CURRENT_LIST_DIR}/RepListCtrl.h
  ${CMAKE_CURRENT_LIST_DIR}/../widgets/CJShell.cpp ${CMAKE_CURRENT_LIST_DIR}/../widgets/CJShell.h
  ${CMAKE_CURRENT_LIST_DIR}/../widgets/CJShellList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../widgets/CJShellList.h
  ${CMAKE_CURRENT_LIST_DIR}/../widgets/CJShellTree.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../widgets/CJShellTree.h
)

include(GNUInstallDirs)
# The help document lives beside the program, in the build as when installed.
configure_file(${PROJECT_SOURCE_DIR}/res/Help.mht ${CMAKE_CURRENT_BINARY_DIR}/Help.mht COPYONLY)
# Installed beside the program by cmake/Packaging.cmake.
