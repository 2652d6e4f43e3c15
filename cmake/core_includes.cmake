# Fails when a file of the core includes a platform header (SDL, OpenGL,
# OpenAL) or a header of the game's drawing, toolkit, sound or screens.
#   cmake -DROOT=<source dir> -DFILES=a,b,... -DSTAMP=<file> -P core_includes.cmake
set(FORBIDDEN
  "<SDL" "<GL/" "<AL/" "<sndfile" "\"driver.h\"" "\"gfx.h\"" "\"font.h\"" "\"gui.h\"" "\"audio.h\""
  "\"myview" "\"widgets.h\"" "\"level.h\"" "\"menu.h\"" "\"edit.h\"" "\"mixer.h\"" "\"web.h\""
  "\"game_web.h\"" "\"myrect.h\"")
string(REPLACE "," ";" FILES "${FILES}")
set(bad "")
foreach(f ${FILES})
  file(STRINGS ${ROOT}/${f} lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line ${lines})
    foreach(pattern ${FORBIDDEN})
      string(FIND "${line}" "${pattern}" at)
      if(NOT at EQUAL -1)
        string(APPEND bad "  ${f}: ${line}\n")
      endif()
    endforeach()
  endforeach()
endforeach()
if(bad)
  message(FATAL_ERROR "The core must not include the platform or the game's screens:\n${bad}")
endif()
file(WRITE ${STAMP} "")
