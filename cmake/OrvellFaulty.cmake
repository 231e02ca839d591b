# The library once more, with the system calls of
# tests/support/fault_injection.cpp in place of src/os/writing_calls.cpp:
# the data safety suite and the tags fuzzer fail or kill a save at each of
# its writes through it. Shared by tests/ and fuzz/, either of which may be
# built alone.
if(NOT TARGET orvell_faulty)
  add_library(orvell_faulty SHARED
    ${PROJECT_SOURCE_DIR}/tests/support/fault_injection.cpp
    $<TARGET_OBJECTS:orvell_exports>)
  target_include_directories(orvell_faulty PUBLIC ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(orvell_faulty PRIVATE orvell_internal orvell_warnings)
  set_target_properties(orvell_faulty PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
endif()
