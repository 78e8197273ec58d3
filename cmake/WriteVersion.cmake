# Run at every build: writes the version header with the git revision of
# the checkout (none outside a checkout), touching it only when it changed
# so nothing rebuilds needlessly.
execute_process(
  COMMAND git -C "${SOURCE_DIR}" describe --always --dirty --abbrev=10 --match "nothing-matches-this"
  OUTPUT_VARIABLE revision
  OUTPUT_STRIP_TRAILING_WHITESPACE
  ERROR_QUIET
  RESULT_VARIABLE failed)
if(failed)
  set(revision "")
endif()
if(revision STREQUAL "")
  set(full "${VERSION}")
else()
  set(full "${VERSION} (git ${revision})")
endif()
set(text "// Written by the build from the project version and the git revision.
#pragma once
#define QUORVANE_VERSION \"${full}\"
#define QUORVANE_VERSION_NUMBER \"${VERSION}\"
#define QUORVANE_REVISION \"${revision}\"
")
file(WRITE "${OUTPUT}.new" "${text}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
