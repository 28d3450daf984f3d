# The windowed quorvane: every folder of subsystems 1-5 and 7 goes into one
# static library (tests link it too); app/main.cpp makes the program.
set(QUORVANE_GUI_FOLDERS app node trace transmit manager info)
add_library(quorvane_parts STATIC)
foreach(folder ${QUORVANE_GUI_FOLDERS})
  file(GLOB part_sources CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/${folder}/*.cpp ${PROJECT_SOURCE_DIR}/${folder}/*.h)
  list(FILTER part_sources EXCLUDE REGEX "/app/main\\.cpp$")
  # The Qt-free trace files come from canopen_trace (trace/CMakeLists.txt).
  list(FILTER part_sources EXCLUDE REGEX
    "/trace/(calendar_text|candump_log|canopen_interpreter|emergency_codes|sdo_abort_texts|trace_export)\\.cpp$")
  target_sources(quorvane_parts PRIVATE ${part_sources})
endforeach()
set_target_properties(quorvane_parts PROPERTIES AUTOMOC ON)
target_include_directories(quorvane_parts PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(quorvane_parts PUBLIC canopen_trace)
# quorcmd_core: the hex dump lines both programs show.
target_link_libraries(quorvane_parts PUBLIC Qt6::Widgets morvellcanopen pennorak quorvane_sync
  quorcmd_core)
target_compile_definitions(quorvane_parts PUBLIC QT_NO_KEYWORDS
  QUORVANE_VERSION="${PROJECT_VERSION}")
target_precompile_headers(quorvane_parts PRIVATE <QtWidgets/QtWidgets>)

add_executable(quorvane ${PROJECT_SOURCE_DIR}/app/main.cpp)
target_link_libraries(quorvane PRIVATE quorvane_parts)

# Programs that run Qt take the Qt suppressions in sanitizer builds.
if(QUORVANE_SANITIZE)
  add_library(qt_sanitizer_defaults OBJECT ${PROJECT_SOURCE_DIR}/cmake/qt_sanitizer_defaults.cpp)
  target_link_libraries(quorvane PRIVATE qt_sanitizer_defaults)
endif()

# The manual sits beside the program (Help > Manual opens it there).
add_subdirectory(docs)
add_dependencies(quorvane quorvane_manual)
