// The program throws nothing of its own; only the runtime could, and only
// when memory runs out. libstdc++'s default handler for that case prints the
// exception's type, demangled, to a console that this GUI program does not
// have, and then aborts; and the C runtime's abort in a GUI program shows an
// "abnormal program termination" box, which in session 0 or under SYSTEM
// nobody answers, and exits with 3. This one ends the process at once, with
// no box and the exit code that every run has, and keeps the demangler (a
// sixth of the image) out of the program.
#include <windows.h>

namespace __gnu_cxx {

void __verbose_terminate_handler()
{
    // Nothing else runs: a heap that could not give memory may be in no
    // state for exit handlers.
    TerminateProcess(GetCurrentProcess(), 0);
}

} // namespace __gnu_cxx
