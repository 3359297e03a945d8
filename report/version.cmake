# Writes OUTPUT, the report tool's _version.py: VERSION and the commit of the
# source in SOURCE_DIR, as the testers' --version shows them.
include("${CMAKE_CURRENT_LIST_DIR}/../cmake/source-commit.cmake")
file(WRITE "${OUTPUT}" "VERSION = \"${VERSION} (git ${commit})\"\n")
