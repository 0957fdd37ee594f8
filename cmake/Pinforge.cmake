# Helpers shared by the module folders.

# A library the emulated machine loads by name (LoadLibraryA): a shared object with a Windows
# file name whose only visible symbols are the exports listed in EXPORTS.
function(pinforge_module target file_name)
  cmake_parse_arguments(M "" "" "SOURCES;EXPORTS;LIBS" ${ARGN})
  add_library(${target} SHARED ${M_SOURCES})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME "${file_name}" SUFFIX "")
  set(map "${CMAKE_CURRENT_BINARY_DIR}/${target}.exports.map")
  set(body "{\n")
  if(M_EXPORTS)
    string(APPEND body "  global:\n")
    foreach(sym IN LISTS M_EXPORTS)
      string(APPEND body "    ${sym};\n")
    endforeach()
  endif()
  string(APPEND body "  local: *;\n};\n")
  file(WRITE "${map}" "${body}")
  target_link_options(${target} PRIVATE "-Wl,--version-script=${map}")
  # Clang links sanitizer runtimes into programs only, so its libraries keep those symbols open.
  if(NOT PINFORGE_FUZZ)
    target_link_options(${target} PRIVATE "-Wl,--no-undefined")
  endif()
  set_target_properties(${target} PROPERTIES LINK_DEPENDS "${map}")
  target_link_libraries(${target} PRIVATE pinforge_platform ${M_LIBS})
endfunction()

# A program of the emulated machine.
function(pinforge_program target)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${P_SOURCES})
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE OFF)
  target_link_libraries(${target} PRIVATE pinforge_platform ${P_LIBS})
endfunction()
