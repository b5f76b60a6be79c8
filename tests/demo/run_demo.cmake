# cmake -DDEMO=<meetingdemo> -DOUT=<dir> [-DXVFB_RUN=<xvfb-run>] -P run_demo.cmake
file(REMOVE_RECURSE "${OUT}")
if(XVFB_RUN)
    set(play ${XVFB_RUN} -a -s "-screen 0 1600x1000x24"
        ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=xcb ${DEMO} --headless --out ${OUT})
    # Video frames put thousands of colours on screen; flat UI alone stays far below.
    set(min_colours 3000)
else()
    message(WARNING "xvfb-run not found: playing offscreen, where video tiles stay dark")
    set(play ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${DEMO} --offscreen --out ${OUT})
    set(min_colours 300)
endif()

execute_process(COMMAND ${play}
    OUTPUT_VARIABLE timeline ERROR_VARIABLE errors RESULT_VARIABLE code TIMEOUT 240)
message("${timeline}")
if(NOT code EQUAL 0)
    message(FATAL_ERROR "the demo exited with ${code}\n${errors}")
endif()

# What the models must have reported, in the words of the timeline.
set(events
    "incoming call announced"
    "join accepted by the server"
    "state: connected to the media room (CONNECTED)"
    "Ines Duarte is in the call"
    "turns the camera on"
    "speaking: "
    "you are the host now"
    "Lea Novak raises a hand"
    "prompt for the host: Lea Novak raised a hand"
    "Lea Novak is now a speaker"
    "Ravi Iyer declined"
    "is muted by the host (mute all)"
    "Tomas Berg starts sharing the screen"
    "Ines Duarte opens a whiteboard"
    "Elif Demir waits to be let in"
    "Elif Demir is in the call"
    "state: not in the call (NOTCREATE)"
    "rating 5/5 received")
foreach(event IN LISTS events)
    string(FIND "${timeline}" "${event}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the timeline does not show: ${event}")
    endif()
endforeach()

# Nothing secret may reach the timeline.
foreach(secret "token=" "wss://" "nonce")
    string(FIND "${timeline}" "${secret}" at)
    if(NOT at EQUAL -1)
        message(FATAL_ERROR "the timeline shows a secret (${secret})")
    endif()
endforeach()

execute_process(COMMAND ${DEMO} --check-screenshots ${OUT} --min-colours ${min_colours}
    OUTPUT_VARIABLE report RESULT_VARIABLE code)
message("${report}")
if(NOT code EQUAL 0)
    message(FATAL_ERROR "some screenshots do not show the meeting")
endif()
