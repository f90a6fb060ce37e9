# Writes the build's version (project version and source revision) into OUTPUT.
# Run at every build; configure_file leaves the file alone when nothing changed, so
# only this one small source is compiled again after a commit.
# Inputs: SOURCE_DIR, VERSION, INPUT, OUTPUT.
set(BUILD_VERSION "${VERSION}")
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS "${SOURCE_DIR}/.git")
  execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" rev-parse --short=10 HEAD
    OUTPUT_VARIABLE revision OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  if(NOT failed AND revision)
    set(BUILD_VERSION "${VERSION}+git${revision}")
  endif()
endif()
configure_file("${INPUT}" "${OUTPUT}" @ONLY)
