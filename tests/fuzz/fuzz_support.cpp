#include "tests/fuzz/fuzz_support.h"

#include "serial/serial_port.h"
#include "terminal/interpreter.h"
#include "tests/fake/fake_platform.h"
#include "tests/unit/terminal_fixture.h"

void StartFuzzedTerminal(const std::string& lineBytes) {
  StartTerminal();
  fake::world.pollCostUs = 10000;  // coarser virtual time: a silent device costs fewer turns
  fake::world.logLineAndDrawing = false;
  fake::DeviceSends(lineBytes);
}

void RunTerminal() {
  RunLoopUntilIdle();
}
