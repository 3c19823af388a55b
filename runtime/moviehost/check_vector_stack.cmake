# Fails when the disassembly of OBJECTS has an instruction that moves a 256-bit register to or
# from the stack (an operand addressed through the stack or frame pointer).
execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${OBJECTS}
                OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot disassemble ${OBJECTS}")
endif()
if(NOT listing MATCHES "ymm")
  message(FATAL_ERROR "${OBJECTS} holds no AVX2 code: the check would prove nothing")
endif()
string(REGEX MATCHALL "[^\n]*ymm[^\n]*\\(%[er][sb]p[^\n]*" stackAccesses "${listing}")
string(REGEX MATCHALL "[^\n]*\\(%[er][sb]p[^\n]*ymm[^\n]*" reversed "${listing}")
list(APPEND stackAccesses ${reversed})
if(stackAccesses)
  string(REPLACE ";" "\n" shown "${stackAccesses}")
  message(FATAL_ERROR "256-bit stack accesses in ${OBJECTS}:\n${shown}")
endif()
