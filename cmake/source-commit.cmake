# Sets `commit` to the commit of the source in SOURCE_DIR as `git describe`
# gives it ("-dirty" with uncommitted changes), or "unknown" without git.
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
