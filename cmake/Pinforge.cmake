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

# Packs the resources a resource script names (compiled by pfrc) into the ".pfrsrc" section of a
# module's file, where the platform finds them through the module handle.
function(pinforge_resources target script)
  cmake_parse_arguments(R "" "" "DEPENDS;INCLUDE" ${ARGN})
  set(blob ${CMAKE_CURRENT_BINARY_DIR}/${target}.pfrsrc)
  set(includes)
  foreach(dir IN LISTS R_INCLUDE)
    list(APPEND includes -I ${dir})
  endforeach()
  add_custom_command(OUTPUT ${blob} COMMAND pfrc ${blob} ${script} ${includes}
    DEPENDS pfrc ${script} ${R_DEPENDS} COMMENT "Compiling the resources of ${target}")
  add_custom_target(${target}_resources DEPENDS ${blob})
  add_dependencies(${target} ${target}_resources)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --remove-section .pfrsrc --add-section .pfrsrc=${blob} $<TARGET_FILE:${target}>)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${blob})
endfunction()
