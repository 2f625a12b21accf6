// Beneath a reader's refusal, where in the file the read stopped: line and column (text) or
// byte offset (binary) of the offending token or field, and what stands there.
#pragma once

// Installs a fatal handler that prints the place recorded by the reader (readPosition.h), if
// any, then ends the process with the status the reader asked for.
void installReadStopReport();
