// Beneath a reader's refusal, where in the file the read stopped: line and column (text) or
// byte offset (binary) of the offending token or field, and what stands there.
#pragma once

#include "utility/error.h"

// Prints the refusal's message and its place on standard output; returns its status.
int reportReadStop(const mac2mod::error &stopped);
