# Writes the manual page beat_analyser.1 (and beat_analyser.1.gz) from the
# program's own --help and --version, the hand-written sections of
# beat_analyser.h2m, and the --help of every verb that `beat_analyser --help`
# lists, so a new verb is in the page as soon as the program lists it.
#
#   cmake -DPROGRAM=... -DHELP2MAN=... -DGZIP=... -DSECTIONS=beat_analyser.h2m
#         -DOUT=.../beat_analyser.1 -P man_page.cmake

foreach(input PROGRAM HELP2MAN GZIP SECTIONS OUT)
  if(NOT DEFINED ${input})
    message(FATAL_ERROR "man_page.cmake: ${input} is not given")
  endif()
endforeach()

# A sanitizer build must not fail the page over what the help leaves behind.
set(ENV{ASAN_OPTIONS} "detect_leaks=0")

execute_process(COMMAND "${PROGRAM}" --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help ended with ${status}")
endif()

# The verbs are the lines "  VERB   what it does" of the paragraph that
# begins with "Verbs".
string(REPLACE "\n" ";" lines "${help}")
set(verbs)
set(in_verbs FALSE)
foreach(line IN LISTS lines)
  if(line MATCHES "^Verbs")
    set(in_verbs TRUE)
  elseif(in_verbs AND line STREQUAL "")
    set(in_verbs FALSE)
  elseif(in_verbs AND line MATCHES "^  ([a-z][a-z0-9-]*)  ")
    list(APPEND verbs "${CMAKE_MATCH_1}")
  endif()
endforeach()
if(NOT verbs)
  message(FATAL_ERROR "no verbs found in the paragraph \"Verbs\" of ${PROGRAM} --help")
endif()

# Each verb's help as it prints it, one subsection each, as preformatted
# text: backslashes, minus signs and lines that roff would take for requests
# are escaped.
set(page "[VERBS]\nEach verb has its own options: \\fBbeat_analyser\\fR \\fIVERB\\fR \\fB\\-\\-help\\fR prints them.\n")
foreach(verb IN LISTS verbs)
  execute_process(COMMAND "${PROGRAM}" "${verb}" --help OUTPUT_VARIABLE verb_help
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ${verb} --help ended with ${status}")
  endif()
  string(REPLACE "\\" "\\e" verb_help "${verb_help}")
  string(REPLACE "-" "\\-" verb_help "${verb_help}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" verb_help "${verb_help}")
  string(APPEND page ".SS \"beat_analyser ${verb}\"\n.nf\n${verb_help}.fi\n")
endforeach()
get_filename_component(folder "${OUT}" DIRECTORY)
set(verbs_file "${folder}/verbs.h2m")
file(WRITE "${verbs_file}" "${page}")

execute_process(
  COMMAND "${HELP2MAN}" --no-info --no-discard-stderr
          "--name=measure the QRST area of body-surface ECG maps beat by beat"
          --include "${SECTIONS}" --include "${verbs_file}" --output "${OUT}" "${PROGRAM}"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man ended with ${status}")
endif()

# Compressed without a name or time stamp, so the same page gives the same bytes.
execute_process(COMMAND "${GZIP}" -9 -n -c "${OUT}" OUTPUT_FILE "${OUT}.gz" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip ended with ${status}")
endif()
