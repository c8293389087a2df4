# The widget-free logic of the repository list, the file browser list and the
# browser's folder tree.
target_sources(velnor_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/BrowserRules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BrowserRules.h
  ${CMAKE_CURRENT_LIST_DIR}/DropFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DropFiles.h
  ${CMAKE_CURRENT_LIST_DIR}/FileRows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileRows.h
  ${CMAKE_CURRENT_LIST_DIR}/FolderOps.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FolderOps.h
  ${CMAKE_CURRENT_LIST_DIR}/FolderTree.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FolderTree.h
)
