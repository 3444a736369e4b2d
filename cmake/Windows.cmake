# The Windows build of what is free of Qt and of pugixml: the engine and
# its SQL, the rules, pdx.exe, and the tests that run on them under Wine.
add_subdirectory(platform)
add_subdirectory(rules)
add_subdirectory(tools/pdx)

include(CTest)
if(BUILD_TESTING)
  add_subdirectory(tests)
endif()
