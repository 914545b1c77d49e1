# vorlix_version_resource(<target> <description>)
# Gives a program its version resource (product name, the project version, the description) and
# its application manifest (asInvoker, the supported Windows versions), both generated from the
# templates beside this file and compiled by the toolchain's windres as the RC language.
function(vorlix_version_resource target description)
  set(VORLIX_TARGET ${target})
  set(VORLIX_DESCRIPTION "${description}")
  set(VORLIX_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/app.manifest.in ${VORLIX_MANIFEST} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${target}.rc PROPERTIES
    OBJECT_DEPENDS ${VORLIX_MANIFEST})
endfunction()
