// Running foreign code so that any exception it raises, a hardware fault
// such as an access violation included, ends the call instead of the
// process.
#pragma once

extern "C" {

// Calls fn(context). Returns 0 when fn returns, 1 when an exception leaves
// it: the frames between are unwound (their unwind handlers run) and the
// call ends here. Exceptions that fn's own code handles do not count.
int mirwell_guarded_call(void (*fn)(void* context), void* context);

}
