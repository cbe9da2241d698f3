# Makes torl7-cli's manual page: the page's own text (TEMPLATE) with its COMMANDS section as the
# program's command table gives it (PROGRAM --manual-commands), written to OUTPUT.
# cmake -DTEMPLATE=... -DPROGRAM=... -DOUTPUT=... -P compose_manual.cmake
execute_process(COMMAND ${PROGRAM} --manual-commands
                OUTPUT_VARIABLE commands
                RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${PROGRAM} --manual-commands failed: ${failed}")
endif()
file(READ ${TEMPLATE} page)
string(REPLACE "@COMMANDS@\n" "${commands}" page "${page}")
file(WRITE ${OUTPUT} "${page}")
