# GoogleTest for the tests and the support library: the host's package on
# Linux; for a cross build (Windows) Debian's source package built with the
# cross compiler, under the same target names. Included by each folder that
# links it (find_package's targets are seen in its own folder only).
if(CMAKE_CROSSCOMPILING)
  if(NOT TARGET gtest)
    set(DPU_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for a cross build")
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${DPU_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    set_target_properties(gtest gmock gtest_main gmock_main PROPERTIES AUTOMOC OFF)
    # Its own lists name them GTest::... as well from version 1.11 on.
    foreach(lib gtest gmock gtest_main)
      if(NOT TARGET GTest::${lib})
        add_library(GTest::${lib} ALIAS ${lib})
      endif()
    endforeach()
  endif()
else()
  find_package(GTest REQUIRED)
endif()
