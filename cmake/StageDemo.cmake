# Stages the demo game's sources for packing (cmake -P):
#   -DSRC=games/demo -DDST=<build>/games/demo-src -DZELANIM=<zelanim>
# Copies the game's files without its tools/ folder and without the animation
# descriptions, and builds each anim/NAME.txt into anim/NAME.b with zelanim.
file(REMOVE_RECURSE "${DST}")
file(COPY "${SRC}/" DESTINATION "${DST}" PATTERN "tools" EXCLUDE REGEX "/anim/[^/]*\\.txt$" EXCLUDE)
file(GLOB descriptions "${SRC}/anim/*.txt")
foreach(desc IN LISTS descriptions)
  get_filename_component(stem "${desc}" NAME_WE)
  execute_process(COMMAND "${ZELANIM}" build "${desc}" "${DST}/anim/${stem}.b" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "zelanim could not build ${desc}")
  endif()
endforeach()
