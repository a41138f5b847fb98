# Gives both Windows executables a version resource with the project's version
# (compiled by MinGW's windres, or Visual Studio's rc), so that Explorer shows
# it under Properties > Details.
foreach(resource_name larkwire larkwire-sim)
  get_target_property(resource_output ${resource_name} OUTPUT_NAME)
  if(NOT resource_output)
    set(resource_output ${resource_name})
  endif()
  set(resource_file_name ${resource_output}.exe)
  if(resource_name STREQUAL "larkwire")
    set(resource_description "Larkwire: send one control command to a layer server")
  else()
    set(resource_description "larkwire-sim: a rehearsal layer server for Larkwire")
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/version.rc.in
                 ${CMAKE_CURRENT_BINARY_DIR}/${resource_name}-version.rc @ONLY)
  target_sources(${resource_name} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${resource_name}-version.rc)
endforeach()
