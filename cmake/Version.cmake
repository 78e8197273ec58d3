# One place for the version: the project version above, plus the git
# revision of the checkout, in a header rewritten by every build.
set(QUORVANE_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
add_custom_target(quorvane_version_header
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DOUTPUT=${QUORVANE_GENERATED_DIR}/version_info.h
          -DVERSION=${PROJECT_VERSION} -P ${PROJECT_SOURCE_DIR}/cmake/WriteVersion.cmake
  BYPRODUCTS ${QUORVANE_GENERATED_DIR}/version_info.h
  COMMENT "Version header")
add_library(quorvane_version INTERFACE)
target_include_directories(quorvane_version INTERFACE ${QUORVANE_GENERATED_DIR})
add_dependencies(quorvane_version quorvane_version_header)
