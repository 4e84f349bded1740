# Fails when any core source includes a Qt header.
file(GLOB_RECURSE _files ${DIR}/*.cpp ${DIR}/*.h)
foreach(_f IN LISTS _files)
  file(STRINGS ${_f} _hits REGEX "#[ \t]*include[ \t]*[<\"](Q[A-Za-z]+[>\"]|Qt[A-Za-z]*/)")
  if(_hits)
    message(FATAL_ERROR "${_f} includes Qt: ${_hits}")
  endif()
endforeach()
message(STATUS "core is free of Qt (${DIR})")
