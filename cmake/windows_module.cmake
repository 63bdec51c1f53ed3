# The extension modules for Windows x64, cross-built with mingw-w64, once for
# each CPython header tree in KAIRODEX_WINDOWS_PYTHON_INCLUDE: the headers
# with the Windows interpreter configuration of cmake/windows/, linked against
# an import library for that version's python3XY.dll that dlltool makes from
# the names the modules' objects use, as kairodex.cp3XY-win_amd64.pyd (and
# kairodex_tz, kairodex_columns). No Windows interpreter runs here; the build
# proves that the modules compile for LLP64 and Windows' DLL linkage against
# each version without a warning and link without an undefined symbol.
find_program(KAIRODEX_DLLTOOL x86_64-w64-mingw32-dlltool REQUIRED)
set(KAIRODEX_MODULE_COMPILES)
set(KAIRODEX_MODULES)
foreach(include_tree IN LISTS KAIRODEX_WINDOWS_PYTHON_INCLUDE)
  file(STRINGS ${include_tree}/patchlevel.h version_lines REGEX "^#define PY_M(AJ|IN)OR_VERSION")
  string(REGEX REPLACE ".*PY_MAJOR_VERSION[ \t]+([0-9]+).*PY_MINOR_VERSION[ \t]+([0-9]+).*" "\\1\\2" version
         "${version_lines}")
  set(dll python${version})
  set(objects objects_cp${version})

  set(windows_include ${CMAKE_BINARY_DIR}/windows-python-include/cp${version})
  file(COPY ${include_tree}/ DESTINATION ${windows_include} PATTERN pyconfig.h EXCLUDE)
  file(COPY ${CMAKE_CURRENT_SOURCE_DIR}/cmake/windows/pyconfig.h DESTINATION ${windows_include})

  # Each module's objects: the frame built for it, and its own sources.
  set(all_objects)
  foreach(name id IN ZIP_LISTS KAIRODEX_MODULE_NAMES KAIRODEX_MODULE_IDS)
    string(TOUPPER ${id} upper)
    add_library(${name}_${objects} OBJECT ${KAIRODEX_FRAME_SOURCES} ${KAIRODEX_${upper}_SOURCES})
    target_include_directories(${name}_${objects} SYSTEM PRIVATE ${windows_include})
    target_compile_definitions(${name}_${objects} PRIVATE KAIRODEX_THIS_MODULE=${id} KAIRODEX_MODULE_NAME=${name})
    list(APPEND all_objects $<TARGET_OBJECTS:${name}_${objects}>)
    list(APPEND KAIRODEX_MODULE_COMPILES ${name}_${objects})
  endforeach()

  # One import library for the version, from the names all its modules use.
  set(python_def ${CMAKE_BINARY_DIR}/${dll}.def)
  set(python_implib ${CMAKE_BINARY_DIR}/lib${dll}.a)
  add_custom_command(
    OUTPUT ${python_implib}
    COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DOUTPUT=${python_def} -DDLL=${dll}.dll
            "-DOBJECTS=$<JOIN:${all_objects},|>" -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/python_def.cmake
    COMMAND ${KAIRODEX_DLLTOOL} -d ${python_def} -D ${dll}.dll -l ${python_implib}
    DEPENDS ${all_objects} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/python_def.cmake
    COMMENT "import library for ${dll}.dll"
    VERBATIM)
  add_custom_target(${dll}_import_library DEPENDS ${python_implib})

  foreach(name IN LISTS KAIRODEX_MODULE_NAMES)
    set(module ${name}_cp${version})
    add_library(${module} MODULE $<TARGET_OBJECTS:${name}_${objects}>)
    add_dependencies(${module} ${dll}_import_library)
    target_link_libraries(${module} PRIVATE ${python_implib})
    target_link_options(${module} PRIVATE -Wl,--no-undefined)
    set_target_properties(${module} PROPERTIES PREFIX "" OUTPUT_NAME ${name}.cp${version}-win_amd64 SUFFIX .pyd)
    list(APPEND KAIRODEX_MODULES ${module})
  endforeach()
endforeach()
