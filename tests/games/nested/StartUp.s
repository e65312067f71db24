// Calls itself without end: the call stack stops at its limit.
@@reset
\go,@@top
@@top
\sub,@@top
