# Writes OUTPUT, the report tool's _version.py: VERSION and the commit of the
# source in SOURCE_DIR, as the testers' --version shows them.
find_package(Git QUIET)
set(commit "unknown")
if(GIT_FOUND)
  execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" describe --always --dirty --abbrev=12
                  OUTPUT_VARIABLE described OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE failed ERROR_QUIET)
  if(NOT failed AND described)
    set(commit "${described}")
  endif()
endif()
file(WRITE "${OUTPUT}" "VERSION = \"${VERSION} (git ${commit})\"\n")
