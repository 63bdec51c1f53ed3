# The extension module for Windows x64, cross-built with mingw-w64, once for
# each CPython header tree in KAIRODEX_WINDOWS_PYTHON_INCLUDE: the headers
# with the Windows interpreter configuration of cmake/windows/, linked against
# an import library for that version's python3XY.dll that dlltool makes from
# the names the module's objects use, as kairodex.cp3XY-win_amd64.pyd. No
# Windows interpreter runs here; the build proves that the module compiles for
# LLP64 and Windows' DLL linkage against each version without a warning and
# links without an undefined symbol.
find_program(KAIRODEX_DLLTOOL x86_64-w64-mingw32-dlltool REQUIRED)
set(KAIRODEX_MODULE_COMPILES)
set(KAIRODEX_MODULES)
foreach(include_tree IN LISTS KAIRODEX_WINDOWS_PYTHON_INCLUDE)
  file(STRINGS ${include_tree}/patchlevel.h version_lines REGEX "^#define PY_M(AJ|IN)OR_VERSION")
  string(REGEX REPLACE ".*PY_MAJOR_VERSION[ \t]+([0-9]+).*PY_MINOR_VERSION[ \t]+([0-9]+).*" "\\1\\2" version
         "${version_lines}")
  set(dll python${version})
  set(objects kairodex_objects_cp${version})
  set(module kairodex_cp${version})

  set(windows_include ${CMAKE_BINARY_DIR}/windows-python-include/cp${version})
  file(COPY ${include_tree}/ DESTINATION ${windows_include} PATTERN pyconfig.h EXCLUDE)
  file(COPY ${CMAKE_CURRENT_SOURCE_DIR}/cmake/windows/pyconfig.h DESTINATION ${windows_include})

  add_library(${objects} OBJECT ${KAIRODEX_PYTHON_SOURCES})
  target_include_directories(${objects} SYSTEM PRIVATE ${windows_include})

  set(python_def ${CMAKE_BINARY_DIR}/${dll}.def)
  set(python_implib ${CMAKE_BINARY_DIR}/lib${dll}.a)
  add_custom_command(
    OUTPUT ${python_implib}
    COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DOUTPUT=${python_def} -DDLL=${dll}.dll
            "-DOBJECTS=$<JOIN:$<TARGET_OBJECTS:${objects}>,|>" -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/python_def.cmake
    COMMAND ${KAIRODEX_DLLTOOL} -d ${python_def} -D ${dll}.dll -l ${python_implib}
    DEPENDS ${objects} $<TARGET_OBJECTS:${objects}>
    COMMENT "import library for ${dll}.dll"
    VERBATIM)
  add_custom_target(${dll}_import_library DEPENDS ${python_implib})

  add_library(${module} MODULE $<TARGET_OBJECTS:${objects}>)
  add_dependencies(${module} ${dll}_import_library)
  target_link_libraries(${module} PRIVATE ${python_implib})
  target_link_options(${module} PRIVATE -Wl,--no-undefined)
  set_target_properties(${module} PROPERTIES PREFIX "" OUTPUT_NAME kairodex.cp${version}-win_amd64 SUFFIX .pyd)
  list(APPEND KAIRODEX_MODULE_COMPILES ${objects})
  list(APPEND KAIRODEX_MODULES ${module})
endforeach()
