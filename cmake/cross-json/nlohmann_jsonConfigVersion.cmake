# The host's JSON library decides which versions it satisfies.
include(/usr/share/cmake/nlohmann_json/nlohmann_jsonConfigVersion.cmake)
