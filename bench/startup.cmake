# Start-up benchmark (bench/startup.sh): the program against a minimal Qt Widgets window.
add_executable(startup_minimal startup_minimal.cpp)
target_link_libraries(startup_minimal PRIVATE Qt6::Widgets)
find_package(X11 QUIET)
if(X11_FOUND)
  add_executable(startup_probe startup_probe.cpp)
  target_link_libraries(startup_probe PRIVATE X11::X11)
endif()
