# The floors of quorvane. Each folder is one static library that links only
# the floors below it:
#
#   app (composition root)
#   node  trace  transmit  manager  info       windows, never each other
#   gui  hardware  sharing                     services every window uses
#   trace/core  transmit/core  manager/core    Qt-free logic
#   canlib  sync  pennorak                     the libraries' C bindings
#
# quorvane_floor() adds a link check beside each library: a shared library
# made of all its objects, linked with -z defs against its declared links
# only. A call into a floor above (or a sibling) leaves a symbol undefined
# and fails the build there. scripts/check_floors.py checks the includes.

function(quorvane_floor target)
  cmake_parse_arguments(F "QT" "" "SOURCES;LINKS" ${ARGN})
  add_library(${target} STATIC ${F_SOURCES})
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${F_LINKS})
  if(F_QT)
    set_target_properties(${target} PROPERTIES AUTOMOC ON)
    target_compile_definitions(${target} PUBLIC QT_NO_KEYWORDS)
    target_precompile_headers(${target} PRIVATE <QtWidgets/QtWidgets>)
  endif()

  set(stub ${CMAKE_CURRENT_BINARY_DIR}/${target}_link_check.cpp)
  file(CONFIGURE OUTPUT ${stub} CONTENT "// ${target} links only the floors below it.\n")
  add_library(${target}_link_check SHARED ${stub})
  target_link_libraries(${target}_link_check PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${target}>")
  target_link_options(${target}_link_check PRIVATE -Wl,-z,defs)
  set_target_properties(${target}_link_check PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/link_check)
endfunction()
