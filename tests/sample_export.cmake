# Runs the shipped programs on the bundled sample as a user would and checks what they report.
# Called by CTest with -DVLOEXPORT=... -DVLOINFO=... -DSAMPLE=... -DOUT=...
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
execute_process(COMMAND ${VLOEXPORT} ${SAMPLE} -o ${OUT}/flagpin.VLO --origin world --created-at 0
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "vloexport failed (${status}): ${err}")
endif()
if(NOT out MATCHES "50 vertices, 28 polygons, 2 textures, 2 markers, scale 1 m = 100 units")
  message(FATAL_ERROR "unexpected summary: ${out}")
endif()
execute_process(COMMAND ${VLOINFO} ${OUT}/flagpin.VLO RESULT_VARIABLE status OUTPUT_VARIABLE info)
if(NOT status EQUAL 0 OR NOT info MATCHES "valid VLO model" OR NOT info MATCHES "FlagTop at \\(0, 2.3, 0\\)")
  message(FATAL_ERROR "vloinfo (${status}): ${info}")
endif()
if(NOT EXISTS ${OUT}/flagpin.TXT)
  message(FATAL_ERROR "no information file")
endif()
# A missing input is bad usage (2) and writes nothing.
execute_process(COMMAND ${VLOEXPORT} ${OUT}/missing.fbx -o ${OUT}/missing.VLO RESULT_VARIABLE status ERROR_QUIET)
if(NOT status EQUAL 2 OR EXISTS ${OUT}/missing.VLO)
  message(FATAL_ERROR "missing input gave status ${status}")
endif()
