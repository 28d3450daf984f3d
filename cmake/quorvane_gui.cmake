# The windowed quorvane, floor by floor (see cmake/floors.cmake).
add_subdirectory(gui)
add_subdirectory(hardware)
add_subdirectory(transmit)
add_subdirectory(info)
add_subdirectory(node)
add_subdirectory(app)

# Programs that run Qt take the Qt suppressions in sanitizer builds.
if(QUORVANE_SANITIZE)
  add_library(qt_sanitizer_defaults OBJECT ${PROJECT_SOURCE_DIR}/cmake/qt_sanitizer_defaults.cpp)
  target_link_libraries(quorvane PRIVATE qt_sanitizer_defaults)
endif()

# The manual sits beside the program (Help > Manual opens it there).
add_subdirectory(docs)
add_dependencies(quorvane quorvane_manual)
