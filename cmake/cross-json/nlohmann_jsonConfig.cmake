# The JSON library for a cross build. It is header-only, so the host's copy
# serves; its headers are copied alone into the build tree, so that the cross
# compiler never sees the rest of the host's /usr/include.
set(nlohmann_json_include_dir "${CMAKE_BINARY_DIR}/cross-json/include")
file(COPY /usr/include/nlohmann DESTINATION "${nlohmann_json_include_dir}")

if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES
                                                                "${nlohmann_json_include_dir}")
endif()
