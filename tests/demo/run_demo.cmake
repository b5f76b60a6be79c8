# cmake -DDEMO=<meetingdemo> -DSCENARIO=<name> -DOUT=<dir> [-DXVFB_RUN=<xvfb-run>]
#       [-DWITH_SERVER=ON] -P run_demo.cmake
# WITH_SERVER plays against the server named by MEETING_DEMO_SERVER_ARGS (see with_server.sh).
file(REMOVE_RECURSE "${OUT}")
set(args --headless --scenario ${SCENARIO} --out ${OUT})
if(WITH_SERVER)
    separate_arguments(server_args UNIX_COMMAND "$ENV{MEETING_DEMO_SERVER_ARGS}")
    list(APPEND args ${server_args})
endif()
if(XVFB_RUN)
    set(play ${XVFB_RUN} -a -s "-screen 0 1600x1000x24"
        ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=xcb ${DEMO} ${args})
    # Video frames put tens of thousands of colours on screen; the UI alone stays below 10000.
    set(video_colours 15000)
    if(WITH_SERVER)
        # The engine stand-in carries no media over the network: tiles show avatars.
        set(video_colours 0)
    endif()
else()
    message(WARNING "xvfb-run not found: playing offscreen, where video tiles stay dark")
    set(play ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${DEMO} --offscreen ${args})
    set(video_colours 0)
endif()

execute_process(COMMAND ${play}
    OUTPUT_VARIABLE timeline ERROR_VARIABLE errors RESULT_VARIABLE code TIMEOUT 240)
message("${timeline}")
if(NOT code EQUAL 0)
    message(FATAL_ERROR "the demo exited with ${code}\n${errors}")
endif()

# What the models must have reported, in the words of the timeline.
set(invited_events
    "incoming call announced"
    "join accepted by the server"
    "state: connected to the media room (CONNECTED)"
    "Ines Duarte is in the call"
    "turns the camera on"
    "you are the host now"
    "Lea Novak raises a hand"
    "prompt for the host: Lea Novak raised a hand"
    "Lea Novak is now a speaker"
    "Ravi Iyer declined"
    "Tomas Berg is muted by the host (mute all)"
    "Tomas Berg starts sharing the screen"
    "Ines Duarte opens a whiteboard"
    "Elif Demir waits to be let in"
    "Elif Demir is in the call"
    "state: not in the call (NOTCREATE)")
if(WITH_SERVER)
    set(events ${invited_events}
        "signed in at the meeting server"
        "Lea Novak is now a listener"
        "skipped: Mara Lind talks")
elseif(SCENARIO STREQUAL "invited")
    set(events ${invited_events}
        "speaking: Mara Lind"
        "rating 5/5 received")
else()
    set(events
        "meeting \"Design team meeting\" created"
        "join accepted by the server"
        "you are the host now"
        "Lea Novak is invited to speak"
        "Lea Novak is now a speaker"
        "Ines Duarte is now a listener"
        "Tomas Berg turns the microphone off"
        "Alex Moreno starts sharing the screen"
        "Alex Moreno opens a whiteboard"
        "Jun Sato left the attendee list"
        "host role handed to Mara Lind"
        "call: the other side is in the call"
        "opening a received link answered 0"
        "Ravi Iyer lets Alex Moreno in"
        "incoming call announced"
        "meeting link \"Launch room\" listed"
        "meeting link renamed to \"Launch war room\""
        "meeting link \"Launch war room\" removed"
        "declines \"Call from Mara Lind\"")
endif()
foreach(event IN LISTS events)
    string(FIND "${timeline}" "${event}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the timeline does not show: ${event}")
    endif()
endforeach()

# Nothing secret may reach the timeline.
foreach(secret "token=" "wss://" "nonce" "password")
    string(FIND "${timeline}" "${secret}" at)
    if(NOT at EQUAL -1)
        message(FATAL_ERROR "the timeline shows a secret (${secret})")
    endif()
endforeach()

execute_process(COMMAND ${DEMO} --check-screenshots ${OUT} --scenario ${SCENARIO}
        --min-colours 1000 --video-colours ${video_colours}
    OUTPUT_VARIABLE report RESULT_VARIABLE code)
message("${report}")
if(NOT code EQUAL 0)
    message(FATAL_ERROR "some screenshots do not show the meeting")
endif()
